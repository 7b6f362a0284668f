#pragma once

#include <cstdint>
#include <vector>

#include "SimOptions.h"

namespace zorvane::sim {

// The thermoelectric cooler and the sensor temperature. The temperature moves at a fixed rate
// toward the current goal (the setpoint, a power level's equilibrium, or ambient), never
// deeper than the cooler's limit below ambient. Every command starts a new segment, so the
// temperature at any time since the last Fold() can be computed after the fact.
class CoolerModel {
public:
    struct Info {
        int32_t flags = 0;
        int32_t level = 0;
        int32_t minLevel = 0;
        int32_t maxLevel = 255;
        int32_t setpoint = 0;
    };

    CoolerModel() = default;
    CoolerModel(const SimOptions& options, int64_t originUs);

    bool HasControl() const { return kind_ != CoolingKind::None; }
    double Temperature(int64_t tUs) const;
    Info Query(int64_t nowUs) const;
    // Switches the cooler on with a setpoint in hundredths of a degree (setpoint control) or a
    // raw level (power and on/off control; on/off treats 0 as off).
    void SetCooling(int64_t nowUs, int32_t value);
    // Ramps back to ambient, then switches off.
    void WarmUp(int64_t nowUs);
    void Fold(int64_t tUs);

private:
    enum class Mode { Off, On, Warming };
    struct Segment {
        int64_t startUs;
        double startTemp;
        Mode mode;
        double goal;
        double ratePerUs;
        int32_t value;  // the last value given to SetCooling
    };
    const Segment& SegmentAt(int64_t tUs) const;
    static double Approach(const Segment& s, int64_t tUs);
    int32_t HoldingLevel(double temp) const;

    CoolingKind kind_ = CoolingKind::None;
    double ambient_ = 20.0;
    double ratePerUs_ = 0.5e-6;
    double limit_ = 40.0;
    std::vector<Segment> segments_;
};

}  // namespace zorvane::sim
