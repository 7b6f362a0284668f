#include "MountModel.h"

#include <zorvane/camera_api.h>

#include <algorithm>
#include <cmath>

#include "MountFollower.h"

namespace zorvane::sim {

namespace {
constexpr double kDegToRad = M_PI / 180.0;
}

MountModel::MountModel(const SimOptions& options, int64_t originUs,
                       std::shared_ptr<const MountFollower> follower)
    : originUs_(originUs), follower_(std::move(follower)) {
    const double g = options.guideAngleDeg * kDegToRad;
    raAxis_ = {std::cos(g), std::sin(g)};    // west (+) / east (-)
    decAxis_ = {-std::sin(g), std::cos(g)};  // north (+) / south (-)
    Vec2 driftDir = decAxis_;
    if (options.driftAngleSet) {
        const double d = options.driftAngleDeg * kDegToRad;
        driftDir = {std::cos(d), std::sin(d)};
    }
    const double perUs = options.driftPxPerMin / 60e6;
    driftPerUs_ = {driftDir.x * perUs, driftDir.y * perUs};
    peAmplitude_ = options.peAmplitude;
    pePeriodUs_ = options.pePeriodS * 1e6;
    guideRatePerUs_ = options.guideRate / 1e6;
}

Vec2 MountModel::Direction(int direction) const {
    switch (direction) {
        case ZORVANE_GUIDE_NORTH:
            return decAxis_;
        case ZORVANE_GUIDE_SOUTH:
            return {-decAxis_.x, -decAxis_.y};
        case ZORVANE_GUIDE_WEST:
            return raAxis_;
        case ZORVANE_GUIDE_EAST:
            return {-raAxis_.x, -raAxis_.y};
        default:
            return {};
    }
}

bool MountModel::Pulse(int direction, int64_t startUs, int32_t ms) {
    if (direction < ZORVANE_GUIDE_NORTH || direction > ZORVANE_GUIDE_WEST) return false;
    if (ms <= 0 || follower_) return true;  // a followed mount moves only through its server
    const Vec2 d = Direction(direction);
    pulses_.push_back(
        {startUs, static_cast<int64_t>(ms) * 1000, {d.x * guideRatePerUs_, d.y * guideRatePerUs_}});
    return true;
}

Vec2 MountModel::Offset(int64_t tUs) const {
    const double t = static_cast<double>(tUs - originUs_);
    const double pe = peAmplitude_ * std::sin(2.0 * M_PI * t / pePeriodUs_);
    Vec2 o{folded_.x + driftPerUs_.x * t + pe * raAxis_.x,
           folded_.y + driftPerUs_.y * t + pe * raAxis_.y};
    if (follower_) {
        const SkyShiftPx m = follower_->Offset(tUs);
        o.x += m.x;
        o.y += m.y;
    }
    for (const PulseRecord& p : pulses_) {
        const double done =
            static_cast<double>(std::clamp<int64_t>(tUs - p.startUs, 0, p.durationUs));
        o.x += p.velocity.x * done;
        o.y += p.velocity.y * done;
    }
    return o;
}

void MountModel::Fold(int64_t tUs) {
    auto finished = [tUs](const PulseRecord& p) { return p.startUs + p.durationUs <= tUs; };
    for (const PulseRecord& p : pulses_) {
        if (finished(p)) {
            folded_.x += p.velocity.x * static_cast<double>(p.durationUs);
            folded_.y += p.velocity.y * static_cast<double>(p.durationUs);
        }
    }
    pulses_.erase(std::remove_if(pulses_.begin(), pulses_.end(), finished), pulses_.end());
}

}  // namespace zorvane::sim
