#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "SkyShift.h"

namespace zorvane::sim {

// A telescope on an INDI server whose reported pointing (EQUATORIAL_EOD_COORD) the simulated
// sky follows. Its own thread connects, records every position the server reports with the
// time it arrived, and reconnects after a loss; the camera only reads the record, under a lock,
// so a mount or server that stops answering never holds a frame up: the sky stays where the
// mount was last seen. Times are microseconds since `base` (the library's real clock).
class MountFollower {
public:
    MountFollower(std::string device, std::string host, int port, double arcsecPerPx,
                  double angleDeg, std::chrono::steady_clock::time_point base);
    ~MountFollower();
    MountFollower(const MountFollower&) = delete;
    MountFollower& operator=(const MountFollower&) = delete;

    // The sky's shift at time `tUs` against the reference pointing; (0, 0) before the mount
    // has reported anything.
    SkyShiftPx Offset(int64_t tUs) const;
    // The pointing at `nowUs` (or the first one to arrive) becomes the reference.
    void Rebase(int64_t nowUs);

private:
    struct Sample {
        int64_t tUs;
        double ra;
        double dec;
    };
    void Run();
    void Say(const std::string& text);
    const Sample* At(int64_t tUs) const;

    const std::string device_;
    const std::string host_;
    const int port_;
    const double scale_;
    const double angle_;
    const std::chrono::steady_clock::time_point base_;

    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::deque<Sample> samples_;
    bool haveReference_ = false;
    double ra0_ = 0.0;
    double dec0_ = 0.0;
    std::thread thread_;
};

}  // namespace zorvane::sim
