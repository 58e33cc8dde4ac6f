#pragma once
// The thread that carries the sockets of one WebSocket server: the listening sockets and the
// Qt side of every connection live on it, and every socket callback runs on it. Work is handed
// to it with post(); once stopped, posts are dropped, so handles that outlive the server stay
// harmless.

#include <QThread>
#include <functional>
#include <mutex>

class QObject;

namespace keskor {

class SocketThread {
public:
    explicit SocketThread(const QString& name);
    /// Stops the thread if stop() has not been called yet.
    ~SocketThread();

    SocketThread(const SocketThread&) = delete;
    SocketThread& operator=(const SocketThread&) = delete;

    /// True when called on this thread.
    bool isCurrent() const;
    /// True until stop() has begun tearing the thread down.
    bool isAccepting() const;
    /// Queues `fn` to run on this thread, also when called there (then after the current
    /// event, never re-entrantly). Dropped once the thread is stopping.
    void post(std::function<void()> fn);
    /// Runs `fn` on this thread and waits for it; on this thread it runs at once. Only for the
    /// owner of the thread (the one that calls stop()), and never while this thread waits for
    /// the caller.
    void runBlocking(const std::function<void()>& fn);
    /// Deletes every object living on the thread (which closes its sockets) and ends it.
    /// Idempotent; called by the owner, never on this thread.
    void stop();

    /// Parent for the objects created on this thread; use it only on this thread.
    QObject* context() const { return m_context; }

private:
    QThread m_thread;
    QObject* m_context = nullptr;
    mutable std::mutex m_mutex;
    bool m_accepting = true;
    bool m_stopped = false;
};

} // namespace keskor
