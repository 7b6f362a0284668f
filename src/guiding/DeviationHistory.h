#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/Clock.h"
#include "view/Geometry.h"

namespace zorvane {

// The guide star's deviation from the target along the two mount axes over the last ten
// minutes: 200 slots of 3 s each, slot 199 holding the newest value of the running interval.
class DeviationHistory {
public:
    static constexpr int kSlots = 200;
    static constexpr uint64_t kSlotMs = 3000;
    enum Axis { Dec = 0, RA = 1 };

    explicit DeviationHistory(Clock& clock) : clock_(clock) { Clear(); }

    // A new deviation (sensor pixels along each axis). Once a slot's 3 s are over the chart
    // moves one slot to the left.
    void AddDeviation(float ra, float dec);
    // Flat charts, nothing filled, scales forgotten.
    void Clear();

    float Value(Axis a, int slot) const { return values_[a][slot]; }
    float Last(Axis a) const { return last_[a]; }
    int FirstValidSlot() const { return firstValid_; }

    // Mean and spread of the completed slots (the running slot 199 is left out), over the
    // last 20 at most.
    struct Statistics {
        int count = 0;
        float mean = 0.0f;
        float spread = 0.0f;
    };
    Statistics Stats(Axis a) const;

    // The chart's vertical scale: it follows the statistics only when they change it by more
    // than 10 %, so the chart does not breathe with every frame. Updates the axis's memory.
    float Scale(Axis a, const Statistics& s);
    float ScaleMemory(Axis a) const { return scaleMemory_[a]; }

private:
    Clock& clock_;
    std::array<std::array<float, kSlots>, 2> values_{};
    std::array<float, 2> last_{};
    std::array<float, 2> scaleMemory_{};
    int firstValid_ = kSlots - 1;
    uint64_t lastShift_ = 0;
    bool empty_ = true;
};

// One chart as it is drawn, worked out from the history in the chart frame's coordinates.
struct DeviationPlot {
    DeviationHistory::Statistics stats;
    float scale = 0.0f;
    float labelValue = 0.0f;  // the chart's half-height in pixels of deviation
    std::string topLabel;     // "+0.5"
    std::string bottomLabel;  // "-0.5"
    Point zeroFrom, zeroTo;   // the zero line
    std::array<Point, DeviationHistory::kSlots> polyline{};  // (x0, mid) then slots 0..198
    Rect upperMark, lowerMark;                               // the two pulse lamps
    bool upperLit = false, lowerLit = false;
};

// The smallest 1, 2 or 5 times a power of ten that is at least `scale`.
float ChartLabelValue(float scale);
// "%.3g" of a value.
std::string FormatDeviation(float value);

// The chart of one axis in `frame` (the chart's rectangle), with the lamps of that axis's two
// directions lit as `pulseMarks` says (bit d: a pulse of direction d is being sent). Moves the
// axis's scale memory as painting does.
DeviationPlot PlotDeviation(DeviationHistory& history, DeviationHistory::Axis axis,
                            const Rect& frame, unsigned pulseMarks);

}  // namespace zorvane
