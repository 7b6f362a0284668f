#include "CoolerModel.h"

#include <zorvane/camera_api.h>

#include <algorithm>
#include <cmath>

namespace zorvane::sim {

namespace {
constexpr int32_t kMaxLevel = 255;
// Within this distance of its goal the cooler counts as settled.
constexpr double kSettled = 0.05;
}  // namespace

CoolerModel::CoolerModel(const SimOptions& options, int64_t originUs)
    : kind_(options.cooling),
      ambient_(options.ambient),
      ratePerUs_(options.coolRate / 1e6),
      limit_(options.coolLimit) {
    segments_.push_back({originUs, ambient_, Mode::Off, ambient_, ratePerUs_ * 0.5, 0});
}

const CoolerModel::Segment& CoolerModel::SegmentAt(int64_t tUs) const {
    for (auto it = segments_.rbegin(); it != segments_.rend(); ++it) {
        if (it->startUs <= tUs) return *it;
    }
    return segments_.front();
}

double CoolerModel::Approach(const Segment& s, int64_t tUs) {
    const double step = s.ratePerUs * static_cast<double>(std::max<int64_t>(0, tUs - s.startUs));
    if (s.startTemp > s.goal) return std::max(s.goal, s.startTemp - step);
    return std::min(s.goal, s.startTemp + step);
}

double CoolerModel::Temperature(int64_t tUs) const {
    if (segments_.empty()) return ambient_;
    return Approach(SegmentAt(tUs), tUs);
}

int32_t CoolerModel::HoldingLevel(double temp) const {
    if (limit_ <= 0) return 0;
    // Holding at the cooler's limit takes most, not all, of its power.
    const double share = (ambient_ - temp) / (limit_ * 1.15);
    return std::clamp(static_cast<int32_t>(std::lround(share * kMaxLevel)), 0, kMaxLevel);
}

CoolerModel::Info CoolerModel::Query(int64_t nowUs) const {
    Info info;
    if (kind_ == CoolingKind::None || segments_.empty()) return info;
    const Segment& s = SegmentAt(nowUs);
    const double temp = Approach(s, nowUs);
    info.flags = ZORVANE_COOLING_CONTROL;
    if (kind_ == CoolingKind::Setpoint) info.flags |= ZORVANE_COOLING_SETPOINT;
    if (kind_ == CoolingKind::Power) info.flags |= ZORVANE_COOLING_POWER;
    if (kind_ == CoolingKind::OnOff) info.flags |= ZORVANE_COOLING_ONOFF;
    info.setpoint = s.value;
    switch (s.mode) {
        case Mode::Off:
            info.level = 0;
            break;
        case Mode::On:
            info.flags |= ZORVANE_COOLING_COOLING;
            if (kind_ == CoolingKind::Power) {
                info.level = s.value;
            } else if (kind_ == CoolingKind::OnOff || temp > s.goal + kSettled) {
                info.level = kMaxLevel;  // pulling down at full power
            } else {
                info.level = HoldingLevel(temp);
            }
            break;
        case Mode::Warming:
            if (temp < ambient_) {
                info.flags |= ZORVANE_COOLING_WARMING_UP;
                info.level = HoldingLevel(temp) / 2;
            }
            break;
    }
    return info;
}

void CoolerModel::SetCooling(int64_t nowUs, int32_t value) {
    if (kind_ == CoolingKind::None || segments_.empty()) return;
    const double floor = ambient_ - limit_;
    Segment s{nowUs, Temperature(nowUs), Mode::On, ambient_, ratePerUs_, value};
    switch (kind_) {
        case CoolingKind::Setpoint:
            // A thermoelectric cooler cannot heat: above ambient it just idles.
            s.goal = std::clamp(value / 100.0, floor, ambient_);
            break;
        case CoolingKind::Power:
            s.value = std::clamp(value, 0, kMaxLevel);
            s.goal = ambient_ - limit_ * s.value / kMaxLevel;
            break;
        case CoolingKind::OnOff:
            if (value == 0) {
                s.mode = Mode::Off;
                s.ratePerUs = ratePerUs_ * 0.5;
            } else {
                s.goal = floor;
            }
            break;
        case CoolingKind::None:
            break;
    }
    segments_.push_back(s);
}

void CoolerModel::WarmUp(int64_t nowUs) {
    if (kind_ == CoolingKind::None || segments_.empty()) return;
    const Segment& current = SegmentAt(nowUs);
    if (current.mode != Mode::On) return;
    segments_.push_back(
        {nowUs, Temperature(nowUs), Mode::Warming, ambient_, ratePerUs_, current.value});
}

void CoolerModel::Fold(int64_t tUs) {
    // Keep the segment in force at tUs and everything after it.
    size_t keepFrom = 0;
    for (size_t i = 0; i < segments_.size(); ++i) {
        if (segments_[i].startUs <= tUs) keepFrom = i;
    }
    segments_.erase(segments_.begin(), segments_.begin() + static_cast<long>(keepFrom));
}

}  // namespace zorvane::sim
