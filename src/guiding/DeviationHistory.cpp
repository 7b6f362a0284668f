#include "guiding/DeviationHistory.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zorvane {

void DeviationHistory::AddDeviation(float ra, float dec) {
    const uint64_t t = clock_.Milliseconds();
    if (empty_) {
        // The first value after a clear starts the running slot; there is no completed slot
        // yet to move into the chart.
        empty_ = false;
        lastShift_ = t;
    } else if (t - lastShift_ > kSlotMs) {
        for (auto& axis : values_) std::copy(axis.begin() + 1, axis.end(), axis.begin());
        // Keep to the 3-s grid while frames come regularly; after a long pause start afresh.
        if (t - lastShift_ < 2 * kSlotMs + 1)
            lastShift_ += kSlotMs;
        else
            lastShift_ = t;
        if (firstValid_ > 0) --firstValid_;
    }
    values_[Dec][kSlots - 1] = last_[Dec] = dec;
    values_[RA][kSlots - 1] = last_[RA] = ra;
}

void DeviationHistory::Clear() {
    for (auto& axis : values_) axis.fill(0.0f);
    scaleMemory_.fill(0.0f);
    lastShift_ = 0;
    firstValid_ = kSlots - 1;
    empty_ = true;
}

DeviationHistory::Statistics DeviationHistory::Stats(Axis a) const {
    constexpr int kLastCompleted = kSlots - 2;
    int first = firstValid_;
    if (kLastCompleted - first + 1 > 20) first = 180;
    Statistics s;
    float sum = 0.0f, sumSquares = 0.0f;
    for (int i = first; i <= kLastCompleted; ++i) {
        sum += values_[a][i];
        sumSquares += values_[a][i] * values_[a][i];
        ++s.count;
    }
    if (s.count == 0) return s;
    s.mean = sum / static_cast<float>(s.count);
    // In single precision a steady value can give a slightly negative difference; that is
    // no spread at all, not a missing one.
    const float variance = sumSquares / static_cast<float>(s.count) - s.mean * s.mean;
    s.spread = variance > 0.0f ? std::sqrt(variance) : 0.0f;
    return s;
}

float DeviationHistory::Scale(Axis a, const Statistics& st) {
    float s = 2.0f * st.spread + std::fabs(st.mean);
    // A deviation that is no number (a bad measurement upstream) must not poison the scale.
    if (!std::isfinite(s)) s = scaleMemory_[a] > 0.0f ? scaleMemory_[a] : 0.01f;
    s = std::max(s, 0.01f);
    float& m = scaleMemory_[a];
    if (s > 1.1f * m || s < 0.9f * m)
        m = s;
    else
        s = m;
    return s;
}

float ChartLabelValue(float s) {
    float label = 10.0f;
    while (10.0f * s < label) label /= 10.0f;
    while (label < s) label *= 10.0f;
    if (5.0f * s < label)
        label *= 0.2f;
    else if (2.0f * s < label)
        label *= 0.5f;
    return label;
}

std::string FormatDeviation(float value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 3);
    return std::string(buf, r.ptr);
}

DeviationPlot PlotDeviation(DeviationHistory& history, DeviationHistory::Axis axis,
                            const Rect& frame, unsigned pulseMarks) {
    DeviationPlot p;
    p.stats = history.Stats(axis);
    p.scale = history.Scale(axis, p.stats);
    p.labelValue = ChartLabelValue(p.scale);
    p.bottomLabel = FormatDeviation(-p.labelValue);
    p.topLabel = p.bottomLabel;
    if (!p.topLabel.empty() && p.topLabel[0] == '-') p.topLabel[0] = '+';

    const int x0 = frame.left + 1;
    const int mid = frame.top + frame.Height() / 2;
    const float limit = static_cast<float>(std::max(frame.Height() / 2 - 2, 0));
    const float k = static_cast<float>(frame.Height()) * 0.45f / p.labelValue;
    p.zeroFrom = {x0, mid};
    p.zeroTo = {x0 + DeviationHistory::kSlots - 1, mid};
    p.polyline[0] = {x0, mid};
    for (int i = 0; i < DeviationHistory::kSlots - 1; ++i) {
        // Clamped before the conversion: a wild value must not overflow the pixel position.
        float y = k * history.Value(axis, i);
        if (!std::isfinite(y)) y = 0.0f;
        y = std::clamp(y, -limit, limit);
        p.polyline[i + 1] = {x0 + i, mid - static_cast<int>(y)};
    }
    p.upperMark = {frame.right + 9, mid - 15, frame.right + 19, mid - 5};
    p.lowerMark = {frame.right + 9, mid + 5, frame.right + 19, mid + 15};
    p.upperLit = (pulseMarks >> (2 * axis)) & 1u;
    p.lowerLit = (pulseMarks >> (2 * axis + 1)) & 1u;
    return p;
}

}  // namespace zorvane
