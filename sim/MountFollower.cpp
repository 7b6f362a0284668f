#include "MountFollower.h"

#include <cstdio>

#include "indi/IndiClient.h"

namespace zorvane::sim {

namespace {
constexpr const char* kCoordinates = "EQUATORIAL_EOD_COORD";
constexpr int kConnectTimeoutMs = 1000;
constexpr int kRetryMs = 2000;
constexpr int kWaitMs = 200;            // how long the thread waits for news at a time
constexpr int64_t kSilentUs = 5000000;  // connected this long without a position: say so
constexpr int64_t kHistoryUs = int64_t{3600} * 1000000;  // the longest exposure sampled exactly
}  // namespace

MountFollower::MountFollower(std::string device, std::string host, int port, double arcsecPerPx,
                             double angleDeg, std::chrono::steady_clock::time_point base)
    : device_(std::move(device)),
      host_(std::move(host)),
      port_(port),
      scale_(arcsecPerPx),
      angle_(angleDeg),
      base_(base) {
    thread_ = std::thread(&MountFollower::Run, this);
}

MountFollower::~MountFollower() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
    thread_.join();
}

void MountFollower::Say(const std::string& text) {
    std::fprintf(stderr, "ZorvaneCCDDummy: mount '%s' on %s:%d: %s\n", device_.c_str(),
                 host_.c_str(), port_, text.c_str());
}

const MountFollower::Sample* MountFollower::At(int64_t tUs) const {
    if (samples_.empty()) return nullptr;
    // The newest sample that had arrived by tUs; before the first one, the first one (the mount
    // was there before it was heard of).
    for (auto it = samples_.rbegin(); it != samples_.rend(); ++it) {
        if (it->tUs <= tUs) return &*it;
    }
    return &samples_.front();
}

SkyShiftPx MountFollower::Offset(int64_t tUs) const {
    std::lock_guard lock(mutex_);
    const Sample* s = At(tUs);
    if (s == nullptr || !haveReference_) return {};
    return SkyShift(ra0_, dec0_, s->ra, s->dec, scale_, angle_);
}

void MountFollower::Rebase(int64_t nowUs) {
    std::lock_guard lock(mutex_);
    const Sample* s = At(nowUs);
    haveReference_ = s != nullptr;
    if (s != nullptr) {
        ra0_ = s->ra;
        dec0_ = s->dec;
    }
}

void MountFollower::Run() {
    indi::IndiClient client;
    bool up = false;  // connected, as far as this thread last saw
    bool saidUnreachable = false;
    bool saidSilent = false;
    uint64_t seen = 0;  // the coordinates' update count last recorded
    auto now = [this] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - base_)
            .count();
    };
    int64_t connectedAt = 0;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        lock.unlock();
        if (!client.IsConnected()) {
            if (up) {
                Say("the server stopped answering; the sky stays where the mount was last seen");
                up = false;
                saidUnreachable = true;  // one line is enough; a comeback is quiet too
            }
            if (!client.Connect(host_, port_, kConnectTimeoutMs)) {
                if (!saidUnreachable) Say("cannot reach the server; trying again every 2 s");
                saidUnreachable = true;
                lock.lock();
                stopped_.wait_for(lock, std::chrono::milliseconds(kRetryMs),
                                  [this] { return stop_; });
                continue;
            }
            up = true;
            saidUnreachable = saidSilent = false;
            seen = 0;
            connectedAt = now();
        }
        const uint64_t last = seen;
        client.WaitUntil(
            [&](const indi::DeviceSet& set) {
                const indi::PropertySnapshot* p = set.Find(device_, kCoordinates);
                return p != nullptr && p->updates != last;
            },
            kWaitMs);
        const auto p = client.Get(device_, kCoordinates);
        const indi::Element* ra = p ? p->Find("RA") : nullptr;
        const indi::Element* dec = p ? p->Find("DEC") : nullptr;
        const int64_t t = now();
        if (ra == nullptr || dec == nullptr) {
            if (!saidSilent && t - connectedAt > kSilentUs) {
                Say("no such telescope reports its position there");
                saidSilent = true;
            }
            lock.lock();
            continue;
        }
        lock.lock();
        if (p->updates != seen) {
            seen = p->updates;
            samples_.push_back({t, ra->number, dec->number});
            if (!haveReference_) {
                haveReference_ = true;
                ra0_ = ra->number;
                dec0_ = dec->number;
            }
            while (samples_.size() > 1 && samples_[1].tUs < t - kHistoryUs) samples_.pop_front();
        }
    }
}

}  // namespace zorvane::sim
