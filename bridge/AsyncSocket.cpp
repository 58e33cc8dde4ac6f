#include "bridge/AsyncSocket.h"

#include "bridge/SocketThread.h"

#include <QHostAddress>
#include <QScopeGuard>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace keskor {

namespace {

// Enough for a burst of simultaneous browser tabs; the system default (50) makes the kernel
// drop SYNs and the clients retry a second later.
constexpr int ListenBacklog = 256;

} // namespace

// Writes that skip the socket thread. They go to a duplicate of the connection's descriptor that
// only we close, so a write racing with Qt's own close can never land on a descriptor number the
// system has handed out again; the duplicate is closed as soon as the connection ends or stops
// taking writes, and at the latest with the Qt socket.
struct AsyncSocket::DirectPath {
    std::mutex mutex;
    int fd = -1;
    /// Writes handed to the socket thread and not yet queued with Qt there.
    int writesAhead = 0;
    /// Whether Qt has passed every byte queued with it to the kernel.
    bool kernelHasAll = true;
    /// Writes the kernel took whole here and the socket thread has not completed: size, tag.
    std::vector<std::pair<qint64, long>> sent;
    /// The socket thread's sweep timer runs, so it will collect `sent` without being woken.
    bool sweepDue = false;

    ~DirectPath() { closeDescriptor(); }
    void closeDescriptor() {
        std::lock_guard lock(mutex);
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    /// The bytes of `data` the kernel takes now, without waiting; 0 on any failure, which the
    /// socket thread then meets again and reports.
    qint64 send(const QByteArray& data) const {
        for (;;) {
            const ssize_t sent = ::send(fd, data.constData(), static_cast<std::size_t>(data.size()),
                                        MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent >= 0 || errno != EINTR) {
                return sent > 0 ? sent : 0;
            }
        }
    }
};

namespace {

/// Runs a clean-up when the Qt object it is a child of is deleted, however that comes about.
class OnDestroyed : public QObject {
public:
    OnDestroyed(std::function<void()> fn, QObject* parent) : QObject(parent), m_fn(std::move(fn)) {}
    ~OnDestroyed() override { m_fn(); }

private:
    std::function<void()> m_fn;
};

} // namespace

std::shared_ptr<AsyncSocket> AsyncSocket::create(AsyncSocketDelegate* delegate,
                                                 std::shared_ptr<SocketThread> thread) {
    return std::make_shared<AsyncSocket>(PrivateTag{}, delegate, std::move(thread));
}

AsyncSocket::AsyncSocket(PrivateTag, AsyncSocketDelegate* delegate,
                         std::shared_ptr<SocketThread> thread)
    : m_thread(std::move(thread)), m_delegate(delegate), m_direct(std::make_shared<DirectPath>()) {}

AsyncSocket::~AsyncSocket() {
    m_direct->closeDescriptor();
    if (!m_tcp && m_servers.empty()) {
        return;
    }
    // The Qt objects live on the socket thread and die there. Once that thread is stopping it
    // deletes them itself (and they may be gone already), so they are left alone.
    QTcpSocket* tcp = m_tcp;
    std::vector<QTcpServer*> servers = std::move(m_servers);
    if (m_thread->isCurrent()) {
        if (m_thread->isAccepting()) {
            // Possibly inside one of the socket's own signals: defer the delete.
            if (tcp) {
                tcp->abort();
                tcp->deleteLater();
            }
            for (QTcpServer* server : servers) {
                server->deleteLater();
            }
        }
        return;
    }
    m_thread->post([tcp, servers]() {
        delete tcp;
        for (QTcpServer* server : servers) {
            delete server;
        }
    });
}

template <typename Fn> void AsyncSocket::onThread(Fn fn) {
    // A weak handle: queued work must not keep a released socket open.
    ++m_queued;
    m_thread->post([weak = weak_from_this(), fn = std::move(fn)]() {
        if (auto self = weak.lock()) {
            --self->m_queued;
            fn(*self);
        }
    });
}

template <typename Fn> void AsyncSocket::onThreadInOrder(Fn fn) {
    // Saves a trip through the event loop per read, which is most of a small message's cost.
    if (m_queued.load() == 0 && m_thread->isCurrent()) {
        fn(*this);
    } else {
        onThread(std::move(fn));
    }
}

bool AsyncSocket::acceptOnPort(quint16 port, QString* error) {
    bool ok = false;
    QString failure = QStringLiteral("the socket thread has stopped");
    m_thread->runBlocking([&]() { listenOn(port, &failure, &ok); });
    if (!ok && error) {
        *error = failure;
    }
    return ok;
}

void AsyncSocket::listenOn(quint16 port, QString* error, bool* ok) {
    if (m_tcp || !m_servers.empty()) {
        *error = QStringLiteral("the socket is already in use");
        return;
    }
    QStringList failures;
    quint16 bound = port;
    for (const QHostAddress& address :
         {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        auto* server = new QTcpServer(m_thread->context());
        server->setListenBacklogSize(ListenBacklog);
        server->setMaxPendingConnections(ListenBacklog);
        if (!server->listen(address, bound)) {
            failures << QStringLiteral("%1 port %2: %3")
                            .arg(address.toString())
                            .arg(bound)
                            .arg(server->errorString());
            delete server;
            continue;
        }
        bound = server->serverPort();
        QObject::connect(server, &QTcpServer::newConnection, server,
                         [weak = weak_from_this(), server]() {
                             if (auto self = weak.lock()) {
                                 self->acceptPending(server);
                             }
                         });
        m_servers.push_back(server);
    }
    *ok = !m_servers.empty();
    if (*ok) {
        m_localPort.store(bound);
    } else {
        *error = failures.join(QStringLiteral("; "));
    }
}

void AsyncSocket::acceptPending(QTcpServer* server) {
    while (QTcpSocket* tcp = server->nextPendingConnection()) {
        tcp->setParent(m_thread->context());
        auto connection = create(delegate(), m_thread);
        connection->setMaxWriteBufferSize(maxWriteBufferSize());
        connection->adopt(tcp);
        if (AsyncSocketDelegate* target = delegate()) {
            target->socketDidAcceptNewSocket(*this, connection);
        }
    }
}

void AsyncSocket::adopt(QTcpSocket* tcp) {
    m_tcp = tcp;
    // Backpressure: Qt stops taking bytes from the kernel when this much is buffered.
    tcp->setReadBufferSize(ReadChunkSize);
    tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const auto weak = weak_from_this();
    QObject::connect(tcp, &QTcpSocket::readyRead, tcp, [weak]() {
        if (auto self = weak.lock()) {
            // Earlier answers complete before the next request is read.
            self->completeDirectWrites(Sweep::Arm);
            self->maybeDequeueRead();
        }
    });
    m_sweep = new QTimer(tcp);
    m_sweep->setSingleShot(true);
    m_sweep->setInterval(DirectCompletionDelayMs);
    QObject::connect(m_sweep, &QTimer::timeout, tcp, [weak]() {
        if (auto self = weak.lock()) {
            self->completeDirectWrites(Sweep::Stop);
        }
    });
    QObject::connect(tcp, &QTcpSocket::bytesWritten, tcp, [weak](qint64 bytes) {
        if (auto self = weak.lock()) {
            self->m_bytesWritten += bytes;
            self->publishWriteState(false);
            self->completeWrites();
        }
    });
    QObject::connect(tcp, &QTcpSocket::errorOccurred, tcp, [weak, tcp]() {
        if (auto self = weak.lock()) {
            self->m_lastError = tcp->errorString();
        }
    });
    QObject::connect(tcp, &QTcpSocket::disconnected, tcp, [weak]() {
        if (auto self = weak.lock()) {
            self->peerClosed();
        }
    });
    if (tcp->state() != QAbstractSocket::ConnectedState) {
        // Closed before we got to it; report it from the event loop like any other close.
        onThread([](AsyncSocket& self) { self.peerClosed(); });
        return;
    }
    new OnDestroyed([direct = m_direct]() { direct->closeDescriptor(); }, tcp);
    std::lock_guard lock(m_direct->mutex);
    // Without a duplicate (out of descriptors) every write takes the socket thread.
    m_direct->fd = ::fcntl(static_cast<int>(tcp->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
}

void AsyncSocket::readData(long tag) {
    onThreadInOrder([tag](AsyncSocket& self) {
        self.enqueueRead({ReadRequest::Kind::Available, 0, {}, tag});
    });
}

void AsyncSocket::readDataToLength(qint64 length, long tag) {
    onThreadInOrder([length, tag](AsyncSocket& self) {
        self.enqueueRead({ReadRequest::Kind::Length, length, {}, tag});
    });
}

void AsyncSocket::readDataToData(const QByteArray& terminator, qint64 maxLength, long tag) {
    onThreadInOrder([terminator, maxLength, tag](AsyncSocket& self) {
        self.enqueueRead({ReadRequest::Kind::Terminator, maxLength, terminator, tag});
    });
}

void AsyncSocket::writeData(const QByteArray& data, long tag) {
    // Held across the post, so that writes from several threads queue in the order they sent.
    std::lock_guard lock(m_direct->mutex);
    qint64 sent = 0;
    if (!data.isEmpty() && m_direct->fd >= 0 && m_direct->writesAhead == 0 &&
        m_direct->kernelHasAll && !m_thread->isCurrent()) {
        sent = m_direct->send(data);
    }
    if (sent > 0 && sent == data.size()) {
        m_direct->sent.emplace_back(sent, tag);
        // With the sweep due, or an earlier completion already on its way, the thread comes.
        if (!m_direct->sweepDue && m_direct->sent.size() == 1) {
            onThread([](AsyncSocket& self) { self.completeDirectWrites(Sweep::Keep); });
        }
        return;
    }
    ++m_direct->writesAhead;
    onThread([rest = sent > 0 ? data.mid(sent) : data, tag](AsyncSocket& self) {
        self.enqueueWrite(rest, tag);
        self.publishWriteState(true);
    });
}

void AsyncSocket::disconnect() {
    m_direct->closeDescriptor();
    onThread([](AsyncSocket& self) { self.closeWithError(QString()); });
}

void AsyncSocket::disconnectAfterWriting() {
    m_direct->closeDescriptor(); // later writes are ignored, so none may go out directly
    onThread([](AsyncSocket& self) {
        self.completeDirectWrites(Sweep::Keep);
        if (self.m_closed) {
            return;
        }
        self.m_disconnectAfterWriting = true;
        self.m_reads.clear();
        if (self.m_writes.empty()) {
            self.closeWithError(QString());
        }
    });
}

void AsyncSocket::enqueueRead(ReadRequest request) {
    if (m_closed || m_disconnectAfterWriting || !m_tcp) {
        return;
    }
    m_reads.push_back(std::move(request));
    if (!m_dispatchingReads) {
        maybeDequeueRead();
    }
}

void AsyncSocket::maybeDequeueRead() {
    if (m_closed || !m_tcp) {
        return;
    }
    const auto keepAlive = shared_from_this(); // the delegate may drop its handle
    m_dispatchingReads = true;
    const auto done = qScopeGuard([this] { m_dispatchingReads = false; });
    while (!m_reads.empty()) {
        std::optional<QByteArray> data = tryCompleteRead(m_reads.front());
        if (!data) {
            break;
        }
        const long tag = m_reads.front().tag;
        m_reads.pop_front();
        if (AsyncSocketDelegate* target = delegate()) {
            target->socketDidReadData(*this, *data, tag);
        }
        if (m_closed) {
            return;
        }
    }
    // After the peer's end of stream, wait only while buffered bytes may serve a later read.
    if (m_peerClosed && (!m_reads.empty() || m_buffer.isEmpty())) {
        closeWithError(m_lastError.isEmpty()
                           ? QStringLiteral("The remote host closed the connection")
                           : m_lastError);
    }
}

std::optional<QByteArray> AsyncSocket::tryCompleteRead(const ReadRequest& request) {
    switch (request.kind) {
    case ReadRequest::Kind::Available:
        if (m_buffer.isEmpty()) {
            pull(ReadChunkSize);
        }
        if (m_buffer.isEmpty()) {
            return std::nullopt;
        }
        return take(m_buffer.size());
    case ReadRequest::Kind::Length:
        while (m_buffer.size() < request.length && pull(request.length - m_buffer.size()) > 0) {
        }
        if (m_buffer.size() < request.length) {
            return std::nullopt;
        }
        return take(request.length);
    case ReadRequest::Kind::Terminator: {
        qsizetype searchFrom = 0;
        for (;;) {
            const qsizetype at = m_buffer.indexOf(request.terminator, searchFrom);
            if (at >= 0 && at + request.terminator.size() <= request.length) {
                return take(at + request.terminator.size());
            }
            if (m_buffer.size() >= request.length) {
                return take(request.length);
            }
            // The terminator may straddle the old end of the buffer.
            searchFrom = qMax<qsizetype>(0, m_buffer.size() - request.terminator.size() + 1);
            if (pull(request.length - m_buffer.size()) == 0) {
                return std::nullopt;
            }
        }
    }
    }
    return std::nullopt;
}

qint64 AsyncSocket::pull(qint64 maxBytes) {
    // Bounded by what is there, so a large request never allocates ahead of the data.
    const qint64 wanted = qMin(maxBytes, m_tcp->bytesAvailable());
    if (wanted <= 0) {
        return 0;
    }
    // Copied out rather than taken as a QByteArray: that would hand over Qt's own buffer block,
    // which Qt then allocates again, at a price, before the next bytes come in.
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + wanted);
    const qint64 got = m_tcp->read(m_buffer.data() + had, wanted);
    m_buffer.resize(had + qMax<qint64>(got, 0));
    return qMax<qint64>(got, 0);
}

QByteArray AsyncSocket::take(qint64 length) {
    if (length >= m_buffer.size()) {
        return std::exchange(m_buffer, QByteArray());
    }
    QByteArray head = m_buffer.left(length);
    m_buffer.remove(0, length);
    return head;
}

void AsyncSocket::enqueueWrite(const QByteArray& data, long tag) {
    completeDirectWrites(Sweep::Keep); // they were sent first, so they complete first
    if (m_closed || m_disconnectAfterWriting || !m_tcp) {
        return;
    }
    if (m_peerClosed || m_tcp->state() != QAbstractSocket::ConnectedState) {
        // Nothing can be sent any more, and a write that never completes would leave whatever
        // waits for it (the first read after a handshake answer) waiting for ever.
        closeWithError(QStringLiteral("The remote host closed the connection"));
        return;
    }
    const qint64 unsent = m_bytesQueued - m_bytesWritten;
    if (unsent > 0 && unsent + data.size() > maxWriteBufferSize()) {
        closeWithError(QStringLiteral("The peer does not read; %1 unsent bytes").arg(unsent));
        return;
    }
    m_bytesQueued += data.size();
    m_writes.push_back({m_bytesQueued, tag});
    if (data.isEmpty()) {
        completeWrites();
        return;
    }
    if (m_tcp->write(data) < 0) {
        closeWithError(m_tcp->errorString());
        return;
    }
    // Into the kernel now rather than on the next pass of the event loop: a reply leaves at
    // once. What does not fit stays buffered and goes out as the peer reads.
    m_tcp->flush();
}

void AsyncSocket::completeDirectWrites(Sweep sweep) {
    m_directDone.clear();
    {
        std::lock_guard lock(m_direct->mutex);
        std::swap(m_directDone, m_direct->sent);
        if (sweep == Sweep::Stop) {
            m_direct->sweepDue = false;
        } else if (sweep == Sweep::Arm && !m_direct->sweepDue && m_sweep) {
            m_direct->sweepDue = true;
            m_sweep->start();
        }
    }
    if (m_closed || !m_tcp || m_directDone.empty()) {
        return;
    }
    for (const auto& [size, tag] : m_directDone) {
        m_bytesQueued += size;
        m_bytesWritten += size;
        m_writes.push_back({m_bytesQueued, tag});
    }
    completeWrites();
}

void AsyncSocket::publishWriteState(bool taken) {
    std::lock_guard lock(m_direct->mutex);
    if (taken) {
        --m_direct->writesAhead;
    }
    m_direct->kernelHasAll = m_bytesQueued == m_bytesWritten;
}

void AsyncSocket::completeWrites() {
    const auto keepAlive = shared_from_this();
    while (!m_closed && !m_writes.empty() && m_writes.front().end <= m_bytesWritten) {
        const long tag = m_writes.front().tag;
        m_writes.pop_front();
        if (AsyncSocketDelegate* target = delegate()) {
            target->socketDidWriteDataWithTag(*this, tag);
        }
    }
    if (!m_closed && m_disconnectAfterWriting && m_writes.empty()) {
        closeWithError(QString());
    }
}

void AsyncSocket::peerClosed() {
    if (m_closed || m_peerClosed) {
        return;
    }
    m_peerClosed = true;
    m_direct->closeDescriptor(); // nothing may be sent after the peer's end of stream
    completeDirectWrites(Sweep::Keep);
    if (m_closed) {
        return;
    }
    // What arrived before the end of the stream still serves the reads.
    pull(m_tcp->bytesAvailable());
    maybeDequeueRead();
    // Qt reports the end only after flushing what it could: unsent writes will never complete.
    if (!m_closed && !m_writes.empty()) {
        closeWithError(m_lastError.isEmpty()
                           ? QStringLiteral("The remote host closed the connection")
                           : m_lastError);
    }
}

void AsyncSocket::closeWithError(const QString& error) {
    if (m_closed) {
        return;
    }
    m_direct->closeDescriptor();
    // What the kernel took before the close was written, and completes as such.
    completeDirectWrites(Sweep::Keep);
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_reads.clear();
    m_writes.clear();
    m_buffer.clear();
    if (m_tcp) {
        m_tcp->abort();
    } else if (m_servers.empty()) {
        return; // never listened nor connected: nothing to report
    }
    for (QTcpServer* server : std::exchange(m_servers, {})) {
        server->close();
        server->deleteLater();
    }
    if (AsyncSocketDelegate* target = delegate()) {
        target->socketDidDisconnect(*this, error);
    }
}

} // namespace keskor
