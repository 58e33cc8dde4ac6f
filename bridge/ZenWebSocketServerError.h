#pragma once
// The error handed to the delegate when a handshake or a frame is refused.

#include <QString>

namespace keskor {

struct ZenWebSocketServerError {
    static inline const QString domain = QStringLiteral("keskor.bridge.ZenWebSocketServer");

    QString errorDomain = domain;
    int code = 1;
    /// "Invalid handshake from client" or "Cannot handle this websocket frame format!".
    QString localizedDescription;
};

} // namespace keskor
