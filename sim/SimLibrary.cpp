#include "SimLibrary.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zorvane::sim {

namespace {
// Virtual time 0 is 2025-01-01 00:00:00 UTC, so start times are the same on every run.
constexpr int64_t kVirtualEpochUs = int64_t{1735689600} * 1000000;

void Report(const std::vector<std::string>& problems, const std::string& source) {
    for (const std::string& p : problems) {
        std::fprintf(stderr, "ZorvaneCCDDummy: %s: %s (ignored)\n", source.c_str(), p.c_str());
    }
}

std::string ConfigFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] != '\0') return std::string(xdg) + "/ZorvaneCCDDummy.conf";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/.config/ZorvaneCCDDummy.conf";
    return {};
}
}  // namespace

SimLibrary& SimLibrary::Instance() {
    static SimLibrary library;
    return library;
}

SimLibrary::SimLibrary() : base_(std::chrono::steady_clock::now()) {
    // The environment is applied last so that it overrides the file for one run.
    const std::string path = ConfigFilePath();
    if (!path.empty()) {
        std::ifstream file(path);
        if (file) {
            std::stringstream text;
            text << file.rdbuf();
            std::vector<std::string> problems;
            ApplyOptions(text.str(), options_, problems);
            Report(problems, path);
        }
    }
    if (const char* env = std::getenv("ZORVANE_SIM")) {
        std::vector<std::string> problems;
        ApplyOptions(env, options_, problems);
        Report(problems, "ZORVANE_SIM");
    }
    FollowMount();
    ResetCameras();
}

SimLibrary::~SimLibrary() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (poster_.joinable()) poster_.join();
}

int64_t SimLibrary::Now() const {
    if (virtual_) return virtualUs_;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 base_)
        .count();
}

int64_t SimLibrary::WallOffset() const {
    if (virtual_) return kVirtualEpochUs;
    const int64_t wall = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return wall - Now();
}

SimCamera* SimLibrary::Device(int index) {
    if (index < 0 || index >= options_.devices) return nullptr;
    return &cameras_[index];
}

void SimLibrary::AdvanceAll(int64_t now) {
    const int64_t offset = WallOffset();
    for (int i = 0; i < options_.devices; ++i) cameras_[i].Advance(now, offset, pending_);
}

void SimLibrary::ResetCameras() {
    const int64_t now = Now();
    for (int i = 0; i < kMaxDevices; ++i) cameras_[i].Configure(i, options_, now, follower_);
    testCamera_ = 0;
    pending_.clear();
}

void SimLibrary::FollowMount() {
    // The cameras let go of the old mount when they are reset with the new one.
    follower_.reset();
    if (!options_.mountDevice.empty()) {
        follower_ = std::make_shared<MountFollower>(options_.mountDevice, options_.mountHost,
                                                    options_.mountPort, options_.arcsecPerPx,
                                                    options_.guideAngleDeg, base_);
    }
}

void SimLibrary::WaitForPosts(std::unique_lock<std::mutex>& lock) {
    // A receiver may be torn down right after it cancels; never post to it after that. The
    // posting thread itself (a receiver cancelling from inside its post) must not wait.
    if (poster_.joinable() && std::this_thread::get_id() == poster_.get_id()) return;
    postsDone_.wait(lock, [this] { return !postsInFlight_; });
}

void SimLibrary::EnsurePoster() {
    if (!poster_.joinable()) poster_ = std::thread(&SimLibrary::PosterLoop, this);
}

void SimLibrary::Deliver(const std::vector<PostRequest>& posts) {
    for (const PostRequest& p : posts) {
        p.target.post(p.target.context, p.message, p.wParam, p.lParam);
    }
}

void SimLibrary::PosterLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (!virtual_) AdvanceAll(Now());
        if (!virtual_ && !pending_.empty()) {
            std::vector<PostRequest> posts;
            posts.swap(pending_);
            postsInFlight_ = true;
            lock.unlock();
            Deliver(posts);
            lock.lock();
            postsInFlight_ = false;
            postsDone_.notify_all();
            continue;
        }
        int64_t next = SimCamera::kNever;
        if (!virtual_) {
            for (int i = 0; i < options_.devices; ++i) {
                if (cameras_[i].WantsPosts()) next = std::min(next, cameras_[i].NextEventUs());
            }
        }
        if (next == SimCamera::kNever) {
            wake_.wait(lock);
        } else {
            wake_.wait_until(lock, base_ + std::chrono::microseconds(next));
        }
    }
}

bool SimLibrary::Configure(const std::string& text) {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitForPosts(lock);
    SimOptions fresh;
    std::vector<std::string> problems;
    const bool ok = ApplyOptions(text, fresh, problems);
    Report(problems, "configure");
    options_ = fresh;
    FollowMount();
    ResetCameras();
    log_.Clear();
    lock.unlock();
    wake_.notify_all();
    return ok;
}

void SimLibrary::UseVirtualClock(bool on) {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitForPosts(lock);
    virtual_ = on;
    virtualUs_ = 0;
    ResetCameras();
    lock.unlock();
    wake_.notify_all();
}

void SimLibrary::SetTime(uint64_t ms) {
    std::vector<PostRequest> posts;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!virtual_) return;
        const auto us = static_cast<int64_t>(std::min<uint64_t>(ms, uint64_t{1} << 50) * 1000);
        virtualUs_ = std::max(virtualUs_, us);
        AdvanceAll(virtualUs_);
        posts.swap(pending_);
    }
    // Outside the lock: a receiver may call straight back into the library.
    Deliver(posts);
}

SimLibrary::Session::Session(SimLibrary& lib, const char* name, const std::string& arguments)
    : lock_(lib.mutex_), library(lib), now(lib.Now()) {
    if (name != nullptr) library.log_.Add(name, arguments);
    library.AdvanceAll(now);
}

SimLibrary::Session::~Session() {
    // The posting thread re-plans its wake-up after any call: it may have started or ended an
    // exposure, changed a target, or found a frame to announce.
    const bool wake = library.poster_.joinable();
    lock_.unlock();
    if (wake) library.wake_.notify_one();
}

SimCamera* SimLibrary::Session::Any(ZorvaneHandle h) const {
    for (int i = 0; i < library.options_.devices; ++i) {
        if (h == static_cast<void*>(&library.cameras_[i])) return &library.cameras_[i];
    }
    return nullptr;
}

SimCamera* SimLibrary::Session::Connected(ZorvaneHandle h) const {
    SimCamera* camera = Any(h);
    return camera != nullptr && camera->Connected() ? camera : nullptr;
}

void SimLibrary::Session::CancelPosts(int device) {
    std::vector<PostRequest>& pending = library.pending_;
    std::erase_if(pending, [device](const PostRequest& p) { return p.device == device; });
    library.WaitForPosts(lock_);
}

}  // namespace zorvane::sim
