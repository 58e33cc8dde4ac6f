#pragma once
// What the WebSocket server tells its owner. Every notification runs on the main thread; those
// of one connection arrive in order (accept, messages, disconnect).

#include "bridge/ZenWebSocketServerError.h"

#include <QByteArray>
#include <memory>

namespace keskor {

class AsyncSocket;
class ZenWebSocketServer;

class ZenWebSocketServerDelegate {
public:
    virtual ~ZenWebSocketServerDelegate() = default;

    /// The handshake answer has been written; the connection is open.
    virtual void
    webSocketServerDidAcceptConnection(ZenWebSocketServer& server,
                                       const std::shared_ptr<AsyncSocket>& connection) = 0;
    /// A whole text frame arrived; `data` is its unmasked payload.
    virtual void webSocketServerDidReceiveData(ZenWebSocketServer& server, const QByteArray& data,
                                               const std::shared_ptr<AsyncSocket>& connection) = 0;
    /// The connection closed, for any reason; it has left the server's list.
    virtual void
    webSocketServerClientDisconnected(ZenWebSocketServer& server,
                                      const std::shared_ptr<AsyncSocket>& connection) = 0;
    /// The handshake or a frame was refused; `rawData` holds the bytes of the failed read. The
    /// server waits for this to return, then closes the connection.
    virtual void webSocketServerCouldNotParseRawData(ZenWebSocketServer& server,
                                                     const QByteArray& rawData,
                                                     const std::shared_ptr<AsyncSocket>& connection,
                                                     const ZenWebSocketServerError& error) = 0;
};

} // namespace keskor
