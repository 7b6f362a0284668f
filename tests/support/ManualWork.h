#pragma once

#include <deque>

#include "core/BackgroundWork.h"
#include "core/EventPoster.h"

namespace zorvane::test {

// Background work that waits for the test: jobs run, with what they return, only in RunAll, on
// the test's thread. A test can so act between the start of a connect and its outcome.
class ManualWork : public BackgroundWork {
public:
    void Run(Job job) override { jobs_.push_back(std::move(job)); }
    size_t Pending() const { return jobs_.size(); }
    // Runs every waiting job and then what it returns, in order, also those handed over meanwhile.
    void RunAll() {
        while (!jobs_.empty()) {
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            if (Finish finish = job()) finish();
        }
    }

private:
    std::deque<Job> jobs_;
};

// Background work done at once, on the test's thread, whose outcome arrives as a posted message,
// as it would from a thread of its own.
class PostedWork : public BackgroundWork {
public:
    explicit PostedWork(EventPoster& poster) : poster_(poster) {}
    void Run(Job job) override {
        if (Finish finish = job()) poster_.PostToGuiThread(std::move(finish));
    }

private:
    EventPoster& poster_;
};

}  // namespace zorvane::test
