#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "SimOptions.h"

namespace zorvane::sim {

class MountFollower;

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

// Where the sky sits on the sensor over time: a steady drift, the periodic error of the drive
// (a sine along the east-west axis) and the guide pulses sent so far. A star's sensor position
// is its sky position plus Offset(t). Offsets at any time since the last Fold() stay exact, so
// an exposure can be integrated after the fact. With a followed INDI mount its pointing takes
// the place of the guide pulses (which then do nothing); drift and periodic error stay on top.
class MountModel {
public:
    MountModel() = default;
    MountModel(const SimOptions& options, int64_t originUs,
               std::shared_ptr<const MountFollower> follower = nullptr);

    // Starts a pulse at `startUs`; the sky moves at the guide rate for `ms` milliseconds.
    // Returns false for an unknown direction.
    bool Pulse(int direction, int64_t startUs, int32_t ms);
    Vec2 Offset(int64_t tUs) const;
    // Folds pulses that ended by `tUs` into a fixed shift; earlier times are no longer needed.
    void Fold(int64_t tUs);

    // Unit vectors (sensor pixels) the sky moves along for each guide direction.
    Vec2 Direction(int direction) const;
    bool Follows() const { return follower_ != nullptr; }

private:
    struct PulseRecord {
        int64_t startUs;
        int64_t durationUs;
        Vec2 velocity;  // px per microsecond
    };
    int64_t originUs_ = 0;
    Vec2 driftPerUs_;
    Vec2 raAxis_{1.0, 0.0};
    Vec2 decAxis_{0.0, 1.0};
    double peAmplitude_ = 0.0;
    double pePeriodUs_ = 1.0;
    double guideRatePerUs_ = 0.0;
    Vec2 folded_;
    std::vector<PulseRecord> pulses_;
    std::shared_ptr<const MountFollower> follower_;
};

}  // namespace zorvane::sim
