#pragma once
// A TCP socket with tagged, queued reads and writes whose completions come back as delegate
// callbacks on the socket's thread: the socket layer of the browser bridge's WebSocket server.
// One class covers both roles: a listening socket (acceptOnPort) and a connection.
//
// Reads are served one at a time in request order: "whatever is available", "exactly n bytes"
// or "up to and including a terminator, at most n bytes". Writes are sent in order and each
// completes with its tag. There are no timeouts. Every operation may be called from any
// thread; it is carried out on the socket thread, never re-entrantly inside the caller. The one
// shortcut: a write from another thread with nothing queued ahead of it goes into the kernel at
// once, which spares waking the socket thread before a reply can leave. Its completion still
// comes on the socket thread, in order, but may wait there for the next incoming bytes (at most
// DirectCompletionDelayMs): an answer to a request then costs no extra wake-up.
//
// A connection is its descriptor and two socket notifiers, with our own buffers: every message
// costs the fewest system calls Qt's socket classes allow, which on a virtual machine is most of
// the price of a small message.
//
// Memory stays bounded against a misbehaving peer: incoming bytes are taken from the operating
// system only as fast as reads consume them, and a connection whose unsent bytes would exceed
// maxWriteBufferSize() is dropped.
//
// Handles are shared: the server's list and its delegate may hold the same connection. Releasing
// the last handle closes the connection at once.

#include "bridge/AsyncSocketDelegate.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QTcpServer;

namespace keskor {

class SocketThread;

class AsyncSocket : public std::enable_shared_from_this<AsyncSocket> {
    struct PrivateTag {};

public:
    static constexpr qint64 DefaultMaxWriteBufferSize = 32 * 1024 * 1024;
    /// How many received bytes a connection buffers ahead of its reads.
    static constexpr qint64 ReadChunkSize = 64 * 1024;
    /// The longest a write sent from another thread waits for its completion to be reported.
    static constexpr int DirectCompletionDelayMs = 5;

    /// A socket whose callbacks go to `delegate` (not owned; may be null) on `thread`.
    static std::shared_ptr<AsyncSocket> create(AsyncSocketDelegate* delegate,
                                               std::shared_ptr<SocketThread> thread);
    AsyncSocket(PrivateTag, AsyncSocketDelegate* delegate, std::shared_ptr<SocketThread> thread);
    ~AsyncSocket();

    AsyncSocket(const AsyncSocket&) = delete;
    AsyncSocket& operator=(const AsyncSocket&) = delete;

    AsyncSocketDelegate* delegate() const { return m_delegate.load(); }
    void setDelegate(AsyncSocketDelegate* delegate) { m_delegate.store(delegate); }

    /// Cap on the unsent bytes of a connection; a write into an empty queue is always taken.
    /// Accepted sockets inherit the cap of the listening socket.
    qint64 maxWriteBufferSize() const { return m_maxWriteBufferSize.load(); }
    void setMaxWriteBufferSize(qint64 bytes) { m_maxWriteBufferSize.store(bytes); }

    /// Listens on `port` of 127.0.0.1 and ::1. Port 0 picks a free port (the same for both
    /// families). Succeeds when at least one family listens; otherwise false with the reasons in
    /// `error`. Blocks until done; not to be called on the socket thread's callbacks.
    bool acceptOnPort(quint16 port, QString* error = nullptr);
    /// The port listened on (0 before acceptOnPort succeeded).
    quint16 localPort() const { return m_localPort.load(); }

    /// Reads whatever bytes are available next (at least one).
    void readData(long tag);
    /// Reads exactly `length` bytes.
    void readDataToLength(qint64 length, long tag);
    /// Reads up to and including `terminator`. When `maxLength` bytes arrive without it, the
    /// read completes with those `maxLength` bytes, so the caller sees the terminator missing.
    void readDataToData(const QByteArray& terminator, qint64 maxLength, long tag);
    /// Queues `data` behind the earlier writes. After the peer's end of stream nothing can be
    /// sent, so the connection closes instead (and so do writes still unsent at that end).
    void writeData(const QByteArray& data, long tag);
    /// Closes at once; pending reads and writes are dropped.
    void disconnect();
    /// Stops reading, lets the queued writes finish, then closes. Later writes are ignored.
    void disconnectAfterWriting();

private:
    struct ReadRequest {
        enum class Kind { Available, Length, Terminator };
        Kind kind;
        qint64 length;
        QByteArray terminator;
        long tag;
    };
    struct PendingWrite {
        qint64 end; // offset of its last byte + 1 in the stream of written bytes
        long tag;
    };

    struct DirectPath;
    class Link;

    template <typename Fn> void onThread(Fn fn);
    /// At once when called on the socket thread with nothing of ours still queued there (the
    /// usual case: the next read asked for from a read callback), else as onThread().
    template <typename Fn> void onThreadInOrder(Fn fn);

    // Socket thread only, from here on.
    void adopt(int descriptor);
    void listenOn(quint16 port, QString* error, bool* ok);
    void acceptDescriptor(int descriptor);
    void enqueueRead(ReadRequest request);
    void maybeDequeueRead();
    std::optional<QByteArray> tryCompleteRead(const ReadRequest& request);
    /// How far incoming bytes are buffered: the read chunk, or more for the read waiting first.
    qint64 bufferTarget() const;
    /// Takes what the kernel holds, up to bufferTarget(), then serves the reads.
    void receive();
    /// Listens for incoming bytes exactly while there is room for them.
    void updateReadNotifier();
    QByteArray take(qint64 length);
    void enqueueWrite(const QByteArray& data, long tag);
    /// Hands the queued bytes to the kernel as far as it takes them, then completes writes.
    void flushOutgoing();
    enum class Sweep { Keep, Arm, Stop };
    /// Accounts for the writes the kernel took from other threads, then completes them in turn.
    /// Arm: more bytes came in, so an answer may follow; until the sweep timer runs out, such
    /// writes leave their completions for this thread to find instead of waking it.
    void completeDirectWrites(Sweep sweep);
    /// Tells writers on other threads whether unsent bytes are still queued here; `taken` when a
    /// write handed over to this thread has been queued here.
    void publishWriteState(bool taken);
    void completeWrites();
    void peerClosed();
    void closeWithError(const QString& error);

    std::shared_ptr<SocketThread> m_thread;
    std::atomic<AsyncSocketDelegate*> m_delegate;
    std::atomic<qint64> m_maxWriteBufferSize{DefaultMaxWriteBufferSize};
    std::atomic<quint16> m_localPort{0};
    /// Work of ours queued on the socket thread and not yet run.
    std::atomic<int> m_queued{0};
    /// Shared with an object that dies with the Qt socket, however that is deleted.
    std::shared_ptr<DirectPath> m_direct;

    std::vector<QTcpServer*> m_servers;
    Link* m_link = nullptr;
    /// Traded with the direct path's list, so neither allocates once warm.
    std::vector<std::pair<qint64, long>> m_directDone;
    QByteArray m_buffer;
    std::deque<ReadRequest> m_reads;
    std::deque<PendingWrite> m_writes;
    /// The bytes not yet taken by the kernel; the first of them starts at m_outgoingOffset.
    std::deque<QByteArray> m_outgoing;
    qsizetype m_outgoingOffset = 0;
    qint64 m_bytesQueued = 0;
    qint64 m_bytesWritten = 0;
    QString m_lastError;
    bool m_peerClosed = false;
    bool m_closed = false;
    bool m_disconnectAfterWriting = false;
    /// Inside maybeDequeueRead(): reads asked for from a callback join its loop instead of
    /// starting one of their own, so a burst of buffered frames never nests.
    bool m_dispatchingReads = false;
};

} // namespace keskor
