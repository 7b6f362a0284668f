#pragma once

// Measures how long the window's event loop went without running: a precise 10 ms timer in the
// real Qt event loop notes the longest gap between two of its ticks. A wait that blocks the
// window's thread shows up as a gap of its own length.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace zorvane::test {

class StallMonitor : public QObject {
public:
    static constexpr int kTickMs = 10;

    StallMonitor() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kTickMs);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }

    // Starts a new measurement from now.
    void Reset() {
        last_ = clock_.elapsed();
        longest_ = 0;
    }
    // The longest time between two ticks since Reset, in milliseconds, counting a stall that is
    // still going on.
    qint64 LongestMs() const { return std::max(longest_, clock_.elapsed() - last_); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

}  // namespace zorvane::test
