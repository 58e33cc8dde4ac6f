#include "bridge/ZenWebSocketServer.h"

#include "bridge/AsyncSocket.h"
#include "bridge/SocketThread.h"
#include "bridge/WebSocketFunctions.h"
#include "bridge/WebSocketTags.h"
#include "bridge/ZenWebSocketServerDelegate.h"
#include "core/shared/CommonException.h"
#include "platform/MainThread.h"

#include <QCoreApplication>
#include <algorithm>
#include <condition_variable>
#include <cstdio>

namespace keskor {

namespace {

const QByteArray endOfHandshake = QByteArrayLiteral("\r\n\r\n");

} // namespace

// What the main thread needs of the server. Queued notifications hold it, not the server, so
// one that arrives after the server is gone finds `server` null and does nothing.
struct ZenWebSocketServer::MainSide {
    // Main thread only.
    ZenWebSocketServer* server = nullptr;
    ZenWebSocketServerDelegate* delegate = nullptr;
    // Wakes the socket thread from a blocking notification when the server is being destroyed:
    // the main thread then waits for the socket thread and must not be waited for.
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
};

template <typename Fn> void ZenWebSocketServer::notify(Fn notification) {
    runOnMain([main = m_main, notification = std::move(notification)]() {
        // Read on delivery: a delegate cleared in the meantime hears nothing.
        if (main->server && main->delegate) {
            notification(*main->server, *main->delegate);
        }
    });
}

std::unique_ptr<ZenWebSocketServer>
ZenWebSocketServer::initWithPortDelegate(quint64 port, ZenWebSocketServerDelegate* delegate,
                                         Limits limits) {
    auto server = std::make_unique<ZenWebSocketServer>(PrivateTag{}, port, delegate, limits);
    QString error;
    if (!server->m_socket->acceptOnPort(static_cast<quint16>(port & 0xFFFF), &error)) {
        std::printf("ZenWebSockerServer failed to initialize: %s\n", qPrintable(error));
        std::fflush(stdout);
        return nullptr;
    }
    return server;
}

ZenWebSocketServer::ZenWebSocketServer(PrivateTag, quint64 port,
                                       ZenWebSocketServerDelegate* delegate, Limits limits)
    : m_port(port), m_limits(limits), m_parser(limits.maxFrameLength),
      m_main(std::make_shared<MainSide>()),
      m_thread(std::make_shared<SocketThread>(QStringLiteral("ZenWebSocketServer"))) {
    m_main->server = this;
    m_main->delegate = delegate;
    m_socket = AsyncSocket::create(this, m_thread);
    m_socket->setMaxWriteBufferSize(limits.maxOutgoingBuffer);
}

ZenWebSocketServer::~ZenWebSocketServer() {
    m_main->server = nullptr;
    m_main->delegate = nullptr;
    {
        std::lock_guard lock(m_main->mutex);
        m_main->stopping = true;
    }
    m_main->wake.notify_all();
    // Closes the listener and every connection on their own thread; no callback runs after.
    m_thread->stop();
    std::lock_guard lock(m_connectionsMutex);
    for (const auto& connection : m_connections) {
        connection->setDelegate(nullptr);
    }
    m_connections.clear();
}

void ZenWebSocketServer::send(const QByteArray& value) {
    const QByteArray frame = webSocketFrameData(value);
    std::lock_guard lock(m_connectionsMutex);
    for (const auto& connection : m_connections) {
        connection->writeData(frame, WebSocketTag::frameWrite);
    }
}

void ZenWebSocketServer::send(const QString& value) {
    send(value.toUtf8());
}

int ZenWebSocketServer::clientCount() const {
    std::lock_guard lock(m_connectionsMutex);
    return static_cast<int>(m_connections.size());
}

quint16 ZenWebSocketServer::localPort() const {
    return m_socket->localPort();
}

ZenWebSocketServerDelegate* ZenWebSocketServer::delegate() const {
    return m_main->delegate;
}

void ZenWebSocketServer::setDelegate(ZenWebSocketServerDelegate* delegate) {
    m_main->delegate = delegate;
}

void ZenWebSocketServer::socketDidAcceptNewSocket(AsyncSocket&,
                                                  const std::shared_ptr<AsyncSocket>& newSocket) {
    {
        std::lock_guard lock(m_connectionsMutex);
        m_connections.push_back(newSocket);
    }
    newSocket->readDataToData(endOfHandshake, m_limits.maxHandshakeLength,
                              WebSocketTag::handshakeRead);
}

void ZenWebSocketServer::socketDidReadData(AsyncSocket& sock, const QByteArray& data, long tag) {
    if (tag == WebSocketTag::handshakeRead) {
        answerHandshake(sock, data);
    } else {
        readFrame(sock, tag, data);
    }
}

void ZenWebSocketServer::answerHandshake(AsyncSocket& sock, const QByteArray& data) {
    QString answer;
    try {
        // A read that stopped at the length bound holds no complete request.
        if (!data.endsWith(endOfHandshake)) {
            throw CommonException(QStringLiteral("Invalid handshake from client"));
        }
        answer = handshakeResponseForData(data);
    } catch (const CommonException& e) {
        refuse(sock, data, e.message());
        return;
    }
    sock.writeData(answer.toUtf8(), WebSocketTag::handshakeWrite);
}

void ZenWebSocketServer::readFrame(AsyncSocket& sock, long tag, const QByteArray& data) {
    const WebSocketFrameStep step = m_parser.step(tag, data);
    switch (step.kind) {
    case WebSocketFrameStep::Kind::Ignored:
        return;
    case WebSocketFrameStep::Kind::Refused:
        refuse(sock, data, step.error);
        return;
    case WebSocketFrameStep::Kind::Read:
        sock.readDataToLength(step.readLength, step.readTag);
        return;
    case WebSocketFrameStep::Kind::Frame:
        break;
    }
    if (step.opcode == 1) {
        notify([connection = sock.shared_from_this(), payload = step.payload](
                   ZenWebSocketServer& server, ZenWebSocketServerDelegate& delegate) {
            delegate.webSocketServerDidReceiveData(server, payload, connection);
        });
    } else if (step.opcode == 8) {
        // The client closes the TCP connection once it has our close frame.
        sock.writeData(webSocketCloseReplyData(step.payload), WebSocketTag::controlWrite);
    } else if (step.opcode == 9) {
        sock.writeData(webSocketPongData(step.payload), WebSocketTag::controlWrite);
    }
    const WebSocketFrameStep next = WebSocketFrameParser::headerRead();
    sock.readDataToLength(next.readLength, next.readTag);
}

void ZenWebSocketServer::socketDidWriteDataWithTag(AsyncSocket& sock, long tag) {
    if (tag != WebSocketTag::handshakeWrite) {
        return;
    }
    // Queued before the first header read is requested, so it reaches the main thread before
    // any message of this connection.
    notify([connection = sock.shared_from_this()](ZenWebSocketServer& server,
                                                  ZenWebSocketServerDelegate& delegate) {
        delegate.webSocketServerDidAcceptConnection(server, connection);
    });
    const WebSocketFrameStep next = WebSocketFrameParser::headerRead();
    sock.readDataToLength(next.readLength, next.readTag);
}

void ZenWebSocketServer::socketDidDisconnect(AsyncSocket& sock, const QString&) {
    if (&sock == m_socket.get()) {
        return;
    }
    std::shared_ptr<AsyncSocket> connection;
    {
        std::lock_guard lock(m_connectionsMutex);
        const auto it =
            std::find_if(m_connections.begin(), m_connections.end(),
                         [&sock](const auto& candidate) { return candidate.get() == &sock; });
        if (it == m_connections.end()) {
            return;
        }
        connection = *it;
        m_connections.erase(it);
    }
    notify([connection](ZenWebSocketServer& server, ZenWebSocketServerDelegate& delegate) {
        delegate.webSocketServerClientDisconnected(server, connection);
    });
}

void ZenWebSocketServer::refuse(AsyncSocket& sock, const QByteArray& rawData,
                                const QString& message) {
    ZenWebSocketServerError error;
    error.localizedDescription = message;
    notifyAndWait([connection = sock.shared_from_this(), rawData,
                   error](ZenWebSocketServer& server, ZenWebSocketServerDelegate& delegate) {
        delegate.webSocketServerCouldNotParseRawData(server, rawData, connection, error);
    });
    sock.disconnect();
}

void ZenWebSocketServer::notifyAndWait(Notification notification) {
    if (!QCoreApplication::instance()) {
        return;
    }
    auto done = std::make_shared<bool>(false); // guarded by m_main->mutex
    runOnMain([main = m_main, notification = std::move(notification), done]() {
        if (main->server && main->delegate) {
            notification(*main->server, *main->delegate);
        }
        {
            std::lock_guard lock(main->mutex);
            *done = true;
        }
        main->wake.notify_all();
    });
    std::unique_lock lock(m_main->mutex);
    m_main->wake.wait(lock, [&]() { return *done || m_main->stopping; });
}

} // namespace keskor
