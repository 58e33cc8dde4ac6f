#pragma once
// The one way back to the main thread: a queued call to the application object, which lives
// there. Background work (socket threads, the enterprise client, thread-pool jobs) hands its
// results over with these.

#include <functional>

namespace keskor {

class MainThread {
public:
    /// True on the thread of the application object.
    static bool isCurrent();
    /// Queues `fn` to run on the main thread, also when called there (then it runs after the
    /// current event, never re-entrantly). Dropped with a warning when there is no application.
    static void run(std::function<void()> fn);
    /// Runs `fn` on the main thread and waits for it; called on the main thread it runs at once.
    /// The main thread must not be waiting for the caller, or both wait forever.
    static void runBlocking(const std::function<void()>& fn);
};

inline void runOnMain(std::function<void()> fn) {
    MainThread::run(std::move(fn));
}

inline void runOnMainBlocking(const std::function<void()>& fn) {
    MainThread::runBlocking(fn);
}

} // namespace keskor
