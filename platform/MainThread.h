#pragma once
// The one way back to the main thread: a queued call to the application object, which lives
// there. Background work (socket threads, the enterprise client, thread-pool jobs) hands its
// results over with these.

#include <QCoreApplication>
#include <QMetaObject>
#include <functional>
#include <utility>

namespace keskor {

class MainThread {
public:
    /// True on the thread of the application object.
    static bool isCurrent();
    /// Queues `fn` to run on the main thread, also when called there (then it runs after the
    /// current event, never re-entrantly). Dropped with a warning when there is no application.
    /// Any callable: it is queued as it is, without a std::function around it.
    template <typename Fn> static void run(Fn&& fn) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(app, std::forward<Fn>(fn), Qt::QueuedConnection);
        } else {
            warnNoApplication();
        }
    }
    /// Runs `fn` on the main thread and waits for it; called on the main thread it runs at once.
    /// The main thread must not be waiting for the caller, or both wait forever.
    static void runBlocking(const std::function<void()>& fn);

private:
    static void warnNoApplication();
};

template <typename Fn> void runOnMain(Fn&& fn) {
    MainThread::run(std::forward<Fn>(fn));
}

inline void runOnMainBlocking(const std::function<void()>& fn) {
    MainThread::runBlocking(fn);
}

} // namespace keskor
