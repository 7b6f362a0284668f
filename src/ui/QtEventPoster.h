#pragma once

#include <QObject>
#include <mutex>

#include "core/EventPoster.h"

namespace zorvane {

// Queues work for the GUI thread through Qt's event queue. Safe to call from any thread; work
// queued for a context object that is gone, or after the poster is destroyed, is dropped.
class QtEventPoster : public EventPoster {
public:
    explicit QtEventPoster(QObject* context);
    ~QtEventPoster() override;
    QtEventPoster(const QtEventPoster&) = delete;
    QtEventPoster& operator=(const QtEventPoster&) = delete;

    void PostToGuiThread(std::function<void()> message) override;

private:
    std::mutex mutex_;
    QObject* context_;  // cleared under the mutex on destruction or when the object goes
    QMetaObject::Connection destroyedConnection_;
};

}  // namespace zorvane
