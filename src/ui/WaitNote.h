#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zorvane {

// Makes `calls` on a thread of their own while the window's thread goes on with its events
// (timers, painting); a small modal note with `text` comes up when they take longer than a
// moment, so that a wait on a device is seen and cannot be mistaken for a hang. Returns once
// the calls are back. The note cannot be closed: every wait it covers has its own bound.
void RunWithWaitNote(QWidget* parent, const QString& text, const std::function<void()>& calls);

}  // namespace zorvane
