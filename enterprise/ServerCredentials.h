#pragma once
// What the user typed into the enterprise log-in dialog: where the server is, who signs in and
// how the connection is made.

#include "core/shared/ProtocolVersion.h"

#include <QString>
#include <optional>

namespace keskor {

class ServerCredentials {
public:
    QString host;
    int port = 25016;
    /// For an Azure log-in, the Azure account's user name.
    QString userName;
    /// The user's identifier on the server, filled in after a protocol-3 log-in.
    std::optional<QString> id;
    std::optional<QString> password;
    ProtocolVersion protocolVersion = ProtocolVersion::version2;
    bool useSSL = false;

    /// "host:port", the key under which a server's certificate is pinned.
    QString endpoint() const;
};

} // namespace keskor
