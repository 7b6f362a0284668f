#include "platform/WorkerThread.h"

namespace zorvane {

WorkerThread::~WorkerThread() {
    *alive_ = false;
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void WorkerThread::Run(Job job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    wake_.notify_one();
}

void WorkerThread::Loop() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        Finish finish = job();
        // What the job held goes here, on this thread: letting a device go may wait too.
        job = nullptr;
        if (!finish) continue;
        poster_.PostToGuiThread([alive = alive_, finish = std::move(finish)] {
            if (*alive) finish();
        });
    }
}

}  // namespace zorvane
