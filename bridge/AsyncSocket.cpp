#include "bridge/AsyncSocket.h"

#include "bridge/SocketThread.h"

#include <QHostAddress>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QStringList>
#include <QTcpServer>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace keskor {

namespace {

// Enough for a burst of simultaneous browser tabs; the system default (50) makes the kernel
// drop SYNs and the clients retry a second later.
constexpr int ListenBacklog = 256;

/// The first bytes taken for an empty buffer: most messages are a few dozen bytes, and a small
/// block is cheap to allocate. The block doubles while more keeps coming.
constexpr qint64 FirstReceive = 512;

const QString remoteClosed = QStringLiteral("The remote host closed the connection");

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

/// A listening socket that hands over the descriptors it accepts, instead of wrapping each in a
/// QTcpSocket.
class DescriptorServer : public QTcpServer {
public:
    DescriptorServer(std::function<void(int)> onConnection, QObject* parent)
        : QTcpServer(parent), m_onConnection(std::move(onConnection)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        m_onConnection(static_cast<int>(descriptor));
    }

private:
    std::function<void(int)> m_onConnection;
};

} // namespace

// Writes that skip the socket thread. They go to a duplicate of the connection's descriptor that
// only they close, so a write racing with the socket thread's own close can never land on a
// descriptor number the system has handed out again; the duplicate is closed as soon as the
// connection ends or stops taking writes, and at the latest with the link.
struct AsyncSocket::DirectPath {
    std::mutex mutex;
    int fd = -1;
    /// Writes handed to the socket thread and not yet queued there.
    int writesAhead = 0;
    /// Whether the socket thread has passed every byte queued there to the kernel.
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

// The Qt side of a connection, on the socket thread: its descriptor, which it owns, with the
// notifiers and the sweep timer. Deleted there, however that comes about (also with the thread's
// objects when it stops), it closes the descriptor and the direct path's duplicate.
class AsyncSocket::Link : public QObject {
public:
    Link(int descriptor, std::shared_ptr<DirectPath> direct, QObject* parent)
        : QObject(parent), fd(descriptor), readable(descriptor, QSocketNotifier::Read, this),
          writable(descriptor, QSocketNotifier::Write, this), sweep(this),
          m_direct(std::move(direct)) {
        writable.setEnabled(false);
        sweep.setSingleShot(true);
        sweep.setInterval(DirectCompletionDelayMs);
    }
    ~Link() override { shut(); }

    bool isOpen() const { return fd >= 0; }
    /// Closes the descriptor now; the object stays until it is deleted.
    void shut() {
        if (fd < 0) {
            return;
        }
        readable.setEnabled(false);
        writable.setEnabled(false);
        sweep.stop();
        m_direct->closeDescriptor();
        ::close(fd);
        fd = -1;
    }

    int fd;
    QSocketNotifier readable;
    QSocketNotifier writable;
    QTimer sweep;

private:
    std::shared_ptr<DirectPath> m_direct;
};

std::shared_ptr<AsyncSocket> AsyncSocket::create(AsyncSocketDelegate* delegate,
                                                 std::shared_ptr<SocketThread> thread) {
    return std::make_shared<AsyncSocket>(PrivateTag{}, delegate, std::move(thread));
}

AsyncSocket::AsyncSocket(PrivateTag, AsyncSocketDelegate* delegate,
                         std::shared_ptr<SocketThread> thread)
    : m_thread(std::move(thread)), m_delegate(delegate), m_direct(std::make_shared<DirectPath>()) {}

AsyncSocket::~AsyncSocket() {
    m_direct->closeDescriptor();
    if (!m_link && m_servers.empty()) {
        return;
    }
    // The Qt objects live on the socket thread and die there. Once that thread is stopping it
    // deletes them itself (and they may be gone already), so they are left alone.
    Link* link = m_link;
    std::vector<QTcpServer*> servers = std::move(m_servers);
    if (m_thread->isCurrent()) {
        if (m_thread->isAccepting()) {
            // Possibly inside one of the link's own notifications: defer the delete.
            if (link) {
                link->shut();
                link->deleteLater();
            }
            for (QTcpServer* server : servers) {
                server->deleteLater();
            }
        }
        return;
    }
    m_thread->post([link, servers]() {
        delete link;
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
    if (m_link || !m_servers.empty()) {
        *error = QStringLiteral("the socket is already in use");
        return;
    }
    QStringList failures;
    quint16 bound = port;
    for (const QHostAddress& address :
         {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        auto* server = new DescriptorServer(
            [weak = weak_from_this()](int descriptor) {
                if (auto self = weak.lock()) {
                    self->acceptDescriptor(descriptor);
                } else {
                    ::close(descriptor);
                }
            },
            m_thread->context());
        server->setListenBacklogSize(ListenBacklog);
        if (!server->listen(address, bound)) {
            failures << QStringLiteral("%1 port %2: %3")
                            .arg(address.toString())
                            .arg(bound)
                            .arg(server->errorString());
            delete server;
            continue;
        }
        bound = server->serverPort();
        m_servers.push_back(server);
    }
    *ok = !m_servers.empty();
    if (*ok) {
        m_localPort.store(bound);
    } else {
        *error = failures.join(QStringLiteral("; "));
    }
}

void AsyncSocket::acceptDescriptor(int descriptor) {
    auto connection = create(delegate(), m_thread);
    connection->setMaxWriteBufferSize(maxWriteBufferSize());
    connection->adopt(descriptor);
    if (AsyncSocketDelegate* target = delegate()) {
        target->socketDidAcceptNewSocket(*this, connection);
    }
}

void AsyncSocket::adopt(int descriptor) {
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_link = new Link(descriptor, m_direct, m_thread->context());
    const auto weak = weak_from_this();
    // Released in the meantime, with the delete still queued: the notifiers would fire again
    // and again until it runs.
    const auto whileHeld = [weak, link = m_link](void (AsyncSocket::*handler)()) {
        return [weak, link, handler]() {
            if (auto self = weak.lock()) {
                (self.get()->*handler)();
            } else {
                link->shut();
            }
        };
    };
    QObject::connect(&m_link->readable, &QSocketNotifier::activated, m_link,
                     whileHeld(&AsyncSocket::receive));
    QObject::connect(&m_link->writable, &QSocketNotifier::activated, m_link,
                     whileHeld(&AsyncSocket::flushOutgoing));
    QObject::connect(&m_link->sweep, &QTimer::timeout, m_link, [weak]() {
        if (auto self = weak.lock()) {
            self->completeDirectWrites(Sweep::Stop);
        }
    });
    std::lock_guard lock(m_direct->mutex);
    // Without a duplicate (out of descriptors) every write takes the socket thread.
    m_direct->fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
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
    if (m_closed || m_disconnectAfterWriting || !m_link) {
        return;
    }
    m_reads.push_back(std::move(request));
    if (!m_dispatchingReads) {
        maybeDequeueRead();
    }
}

void AsyncSocket::maybeDequeueRead() {
    if (m_closed || !m_link) {
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
        closeWithError(m_lastError.isEmpty() ? remoteClosed : m_lastError);
        return;
    }
    updateReadNotifier();
}

std::optional<QByteArray> AsyncSocket::tryCompleteRead(const ReadRequest& request) {
    switch (request.kind) {
    case ReadRequest::Kind::Available:
        if (m_buffer.isEmpty()) {
            return std::nullopt;
        }
        return take(m_buffer.size());
    case ReadRequest::Kind::Length:
        if (m_buffer.size() < request.length) {
            return std::nullopt;
        }
        return take(request.length);
    case ReadRequest::Kind::Terminator: {
        const qsizetype at = m_buffer.indexOf(request.terminator);
        if (at >= 0 && at + request.terminator.size() <= request.length) {
            return take(at + request.terminator.size());
        }
        if (m_buffer.size() >= request.length) {
            return take(request.length);
        }
        return std::nullopt;
    }
    }
    return std::nullopt;
}

qint64 AsyncSocket::bufferTarget() const {
    if (m_reads.empty() || m_reads.front().kind == ReadRequest::Kind::Available) {
        return ReadChunkSize;
    }
    return qMax(ReadChunkSize, m_reads.front().length);
}

void AsyncSocket::receive() {
    if (m_closed || !m_link || !m_link->isOpen() || m_peerClosed) {
        return;
    }
    for (;;) {
        const qint64 room = bufferTarget() - m_buffer.size();
        if (room <= 0) {
            break;
        }
        const qsizetype had = m_buffer.size();
        const qint64 wanted = qMin(room, qMax<qint64>(had, FirstReceive));
        m_buffer.resize(had + wanted);
        ssize_t got;
        do {
            got = ::recv(m_link->fd, m_buffer.data() + had, static_cast<std::size_t>(wanted),
                         MSG_DONTWAIT);
        } while (got < 0 && errno == EINTR);
        const int error = errno;
        m_buffer.resize(had + qMax<ssize_t>(got, 0));
        if (got == 0 || (got < 0 && error != EAGAIN && error != EWOULDBLOCK)) {
            if (got < 0) {
                m_lastError = systemError(error);
            }
            peerClosed();
            return;
        }
        if (got < wanted) {
            break; // the kernel holds no more for now
        }
    }
    // Earlier answers complete before the next request is read.
    completeDirectWrites(Sweep::Arm);
    maybeDequeueRead();
}

void AsyncSocket::updateReadNotifier() {
    if (m_link && m_link->isOpen()) {
        m_link->readable.setEnabled(!m_closed && !m_peerClosed && m_buffer.size() < bufferTarget());
    }
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
    if (m_closed || m_disconnectAfterWriting || !m_link) {
        return;
    }
    if (m_peerClosed || !m_link->isOpen()) {
        // Nothing can be sent any more, and a write that never completes would leave whatever
        // waits for it (the first read after a handshake answer) waiting for ever.
        closeWithError(remoteClosed);
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
    m_outgoing.push_back(data);
    // Into the kernel now rather than on the next pass of the event loop: a reply leaves at
    // once. What does not fit stays queued and goes out as the peer reads.
    flushOutgoing();
}

void AsyncSocket::flushOutgoing() {
    if (m_closed || !m_link || !m_link->isOpen()) {
        return;
    }
    while (!m_outgoing.empty()) {
        const QByteArray& front = m_outgoing.front();
        const auto size = static_cast<std::size_t>(front.size() - m_outgoingOffset);
        ssize_t sent;
        do {
            sent = ::send(m_link->fd, front.constData() + m_outgoingOffset, size,
                          MSG_DONTWAIT | MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                break;
            }
            closeWithError(systemError(errno));
            return;
        }
        m_bytesWritten += sent;
        m_outgoingOffset += sent;
        if (m_outgoingOffset == front.size()) {
            m_outgoing.pop_front();
            m_outgoingOffset = 0;
        }
    }
    m_link->writable.setEnabled(!m_outgoing.empty());
    publishWriteState(false);
    completeWrites();
}

void AsyncSocket::completeDirectWrites(Sweep sweep) {
    m_directDone.clear();
    {
        std::lock_guard lock(m_direct->mutex);
        std::swap(m_directDone, m_direct->sent);
        if (sweep == Sweep::Stop) {
            m_direct->sweepDue = false;
        } else if (sweep == Sweep::Arm && !m_direct->sweepDue && m_link) {
            m_direct->sweepDue = true;
            m_link->sweep.start();
        }
    }
    if (m_closed || !m_link || m_directDone.empty()) {
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
    maybeDequeueRead();
    // Unsent writes will never complete.
    if (!m_closed && !m_writes.empty()) {
        closeWithError(m_lastError.isEmpty() ? remoteClosed : m_lastError);
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
    m_outgoing.clear();
    m_buffer.clear();
    if (m_link) {
        m_link->shut();
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
