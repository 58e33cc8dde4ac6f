#include "bridge/SocketThread.h"

#include <QMetaObject>
#include <QObject>

namespace keskor {

SocketThread::SocketThread(const QString& name) {
    m_thread.setObjectName(name);
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

SocketThread::~SocketThread() {
    stop();
}

bool SocketThread::isCurrent() const {
    return QThread::currentThread() == &m_thread;
}

bool SocketThread::isAccepting() const {
    std::lock_guard lock(m_mutex);
    return m_accepting;
}

void SocketThread::post(std::function<void()> fn) {
    // The lock spans the post so that the context cannot be deleted between the check and the
    // queueing; an event still queued when it is deleted is discarded with it.
    std::lock_guard lock(m_mutex);
    if (!m_accepting) {
        return;
    }
    QMetaObject::invokeMethod(m_context, std::move(fn), Qt::QueuedConnection);
}

void SocketThread::runBlocking(const std::function<void()>& fn) {
    if (isCurrent()) {
        fn();
        return;
    }
    if (!isAccepting()) {
        return;
    }
    QMetaObject::invokeMethod(
        m_context, [&fn]() { fn(); }, Qt::BlockingQueuedConnection);
}

void SocketThread::stop() {
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(
            m_context,
            [this]() {
                {
                    std::lock_guard lock(m_mutex);
                    m_accepting = false;
                }
                // Cut the signal connections first: a socket closed by its destructor must not
                // call back into handlers that would touch sockets already deleted.
                for (QObject* child : m_context->children()) {
                    QObject::disconnect(child, nullptr, nullptr, nullptr);
                }
                delete m_context;
                m_context = nullptr;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    } else {
        std::lock_guard lock(m_mutex);
        m_accepting = false;
        delete m_context;
        m_context = nullptr;
    }
}

} // namespace keskor
