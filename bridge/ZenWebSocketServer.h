#pragma once
// The local WebSocket server the browser extensions talk to: just enough of RFC 6455 for one
// text message per frame, no extensions, no subprotocol. It listens on 127.0.0.1 and ::1,
// answers the opening handshake, reads client frames (text, close, ping), and writes texts as
// unmasked frames. Its sockets live on a thread of its own; the delegate hears of accepted
// connections, messages, refusals and disconnections on the main thread.
//
// Create, use and destroy it on the main thread. Destroying it closes its listener and all its
// connections without further notifications; connection handles kept elsewhere turn inert.

#include "bridge/AsyncSocket.h"
#include "bridge/AsyncSocketDelegate.h"
#include "bridge/WebSocketFrameParser.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace keskor {

class AsyncSocket;
class SocketThread;
class ZenWebSocketServerDelegate;

class ZenWebSocketServer final : private AsyncSocketDelegate {
    struct PrivateTag {};

public:
    struct Limits {
        /// Longer client frames are refused like a frame of an unknown kind.
        quint64 maxFrameLength = WebSocketFrameParser::DefaultMaxPayloadLength;
        /// A connection with more unsent bytes (a client that does not read) is dropped.
        qint64 maxOutgoingBuffer = AsyncSocket::DefaultMaxWriteBufferSize;
        /// An opening handshake without its blank line within this many bytes is refused.
        qint64 maxHandshakeLength = 16 * 1024;
    };

    /// Listens on the low 16 bits of `port` (0: a free port, see localPort()). On failure it
    /// prints the reason to standard output and returns null. `delegate` is not owned: its
    /// owner clears it with setDelegate(nullptr) or destroys the server before it goes away.
    static std::unique_ptr<ZenWebSocketServer>
    initWithPortDelegate(quint64 port, ZenWebSocketServerDelegate* delegate, Limits limits);
    static std::unique_ptr<ZenWebSocketServer>
    initWithPortDelegate(quint64 port, ZenWebSocketServerDelegate* delegate) {
        return initWithPortDelegate(port, delegate, Limits{});
    }

    ZenWebSocketServer(PrivateTag, quint64 port, ZenWebSocketServerDelegate* delegate,
                       Limits limits);
    ~ZenWebSocketServer() override;

    ZenWebSocketServer(const ZenWebSocketServer&) = delete;
    ZenWebSocketServer& operator=(const ZenWebSocketServer&) = delete;

    /// Frames `value` once and writes it to every connection.
    void send(const QByteArray& value);
    void send(const QString& value);
    /// The connections accepted and not yet disconnected (handshake done or not).
    int clientCount() const;

    /// The port given at creation.
    quint64 port() const { return m_port; }
    /// The port actually listened on.
    quint16 localPort() const;
    const Limits& limits() const { return m_limits; }

    ZenWebSocketServerDelegate* delegate() const;
    void setDelegate(ZenWebSocketServerDelegate* delegate);

private:
    struct MainSide;
    using Notification = std::function<void(ZenWebSocketServer&, ZenWebSocketServerDelegate&)>;

    // Socket callbacks, on the server's thread.
    void socketDidAcceptNewSocket(AsyncSocket& sock,
                                  const std::shared_ptr<AsyncSocket>& newSocket) override;
    void socketDidReadData(AsyncSocket& sock, const QByteArray& data, long tag) override;
    void socketDidWriteDataWithTag(AsyncSocket& sock, long tag) override;
    void socketDidDisconnect(AsyncSocket& sock, const QString& error) override;

    void answerHandshake(AsyncSocket& sock, const QByteArray& data);
    void readFrame(AsyncSocket& sock, long tag, const QByteArray& data);
    void refuse(AsyncSocket& sock, const QByteArray& rawData, const QString& message);

    /// Delivers `notification(server, delegate)` on the main thread; any callable, queued as
    /// it is, since one goes with every message.
    template <typename Fn> void notify(Fn notification);
    void notifyAndWait(Notification notification);

    quint64 m_port;
    Limits m_limits;
    WebSocketFrameParser m_parser;
    std::shared_ptr<MainSide> m_main;
    std::shared_ptr<SocketThread> m_thread;
    std::shared_ptr<AsyncSocket> m_socket;
    mutable std::mutex m_connectionsMutex;
    std::vector<std::shared_ptr<AsyncSocket>> m_connections;
};

} // namespace keskor
