#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaObject>
#include <QThread>

namespace keskor {

bool MainThread::isCurrent() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void MainThread::warnNoApplication() {
    qWarning() << "main thread: no application object; a queued call is dropped";
}

void MainThread::runBlocking(const std::function<void()>& fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        qWarning() << "main thread: no application object; a blocking call is dropped";
        return;
    }
    if (QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(
        app, [&fn]() { fn(); }, Qt::BlockingQueuedConnection);
}

} // namespace keskor
