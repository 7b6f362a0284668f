#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "core/BackgroundWork.h"
#include "core/EventPoster.h"

namespace zorvane {

// One thread of its own that runs the jobs handed to it, in order, and posts what each returns
// to the window's thread. Going away, it finishes the jobs it was given (each keeps its own
// bound) and drops whatever they would still have done on the window's thread.
class WorkerThread : public BackgroundWork {
public:
    explicit WorkerThread(EventPoster& poster) : poster_(poster) {}
    ~WorkerThread() override;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void Run(Job job) override;

private:
    void Loop();

    EventPoster& poster_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool ending_ = false;
    std::thread thread_;  // started with the first job
    // Read and cleared on the window's thread only.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zorvane
