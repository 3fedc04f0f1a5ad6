#include "QtDeskThread.h"

#include <QMetaObject>
#include <QObject>

namespace lm {

UiCalls::Post QtDeskThread::poster(QObject* context) {
    return [context](std::function<void()> task) {
        // Queued even when called from that thread: a route never runs inside another
        // command.
        QMetaObject::invokeMethod(context, std::move(task), Qt::QueuedConnection);
    };
}

} // namespace lm
