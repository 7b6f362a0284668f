#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CallLog.h"
#include "SimCamera.h"
#include "SimOptions.h"

namespace zorvane::sim {

// The process-wide set of simulated cameras behind the exported entry points: options, the
// clock (real or virtual), the call log, and the thread that posts frame-ready messages.
// Handles given to the program are addresses of the cameras in a fixed array, so a stale or
// foreign handle is recognised instead of followed.
class SimLibrary {
public:
    static constexpr int kMaxDevices = 16;

    static SimLibrary& Instance();
    ~SimLibrary();
    SimLibrary(const SimLibrary&) = delete;
    SimLibrary& operator=(const SimLibrary&) = delete;

    // One entry-point call: holds the lock, logs the call and brings every camera up to the
    // present. Frame-ready messages found on the way are handed to the posting thread.
    class Session {
        // Declared first: taken before anything else is read.
        std::unique_lock<std::mutex> lock_;

    public:
        // name == nullptr: a test hook, not logged.
        Session(SimLibrary& library, const char* name, const std::string& arguments = {});
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

        // The camera behind a handle while it is connected; nullptr otherwise.
        SimCamera* Connected(ZorvaneHandle h) const;
        // The camera behind a handle, connected or not; nullptr for a foreign value.
        SimCamera* Any(ZorvaneHandle h) const;
        // Stops frame-ready messages for a camera; returns once none is being delivered.
        void CancelPosts(int device);

        SimLibrary& library;
        const int64_t now;
    };

    // Under a Session:
    const SimOptions& Options() const { return options_; }
    SimCamera* Device(int index);
    int64_t WallOffset() const;
    void EnsurePoster();
    void SetTestCamera(int index) { testCamera_ = index; }
    SimCamera& TestCamera() { return cameras_[testCamera_]; }
    CallLog& Log() { return log_; }

    // Test controls (they take the lock themselves).
    bool Configure(const std::string& options);
    void UseVirtualClock(bool on);
    void SetTime(uint64_t ms);

private:
    SimLibrary();
    int64_t Now() const;
    void AdvanceAll(int64_t now);
    void ResetCameras();
    void FollowMount();
    void WaitForPosts(std::unique_lock<std::mutex>& lock);
    void PosterLoop();
    static void Deliver(const std::vector<PostRequest>& posts);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable postsDone_;
    bool postsInFlight_ = false;
    bool stop_ = false;
    std::thread poster_;

    bool virtual_ = false;
    int64_t virtualUs_ = 0;
    std::chrono::steady_clock::time_point base_;

    SimOptions options_;
    // The INDI mount the sky follows, when the options name one.
    std::shared_ptr<MountFollower> follower_;
    std::array<SimCamera, kMaxDevices> cameras_;
    int testCamera_ = 0;
    std::vector<PostRequest> pending_;
    CallLog log_;
};

}  // namespace zorvane::sim
