#include "ui/QtEventPoster.h"

#include <QMetaObject>

namespace zorvane {

QtEventPoster::QtEventPoster(QObject* context) : context_(context) {
    if (context_) {
        // Direct: the context dies on the GUI thread; no further posts may reach it.
        destroyedConnection_ = QObject::connect(
            context_, &QObject::destroyed, context_,
            [this] {
                std::lock_guard lock(mutex_);
                context_ = nullptr;
            },
            Qt::DirectConnection);
    }
}

QtEventPoster::~QtEventPoster() {
    std::lock_guard lock(mutex_);
    if (context_) QObject::disconnect(destroyedConnection_);
    context_ = nullptr;
}

void QtEventPoster::PostToGuiThread(std::function<void()> message) {
    std::lock_guard lock(mutex_);
    if (!context_) return;
    // Qt removes queued calls for a context object when it is destroyed.
    QMetaObject::invokeMethod(context_, std::move(message), Qt::QueuedConnection);
}

}  // namespace zorvane
