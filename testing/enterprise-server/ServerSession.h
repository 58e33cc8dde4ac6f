#pragma once
// One client connection of the reference server: frames requests with PacketHandler, runs the
// key exchange, log-in (password change and two-factor demands included) and the database
// requests, and answers each request with exactly one packet in the mode it was sent in.
// Garbage, an impossible length, a packet that does not authenticate or a client silent for
// the idle timeout ends the session; the server goes on serving the others.

#include "core/shared/Key256.h"
#include "core/shared/ServerProtocol.h"
#include "core/shared/TCSDataPacket.h"
#include "enterprise/OpenSSLHelper.h"
#include "enterprise/PacketHandler.h"
#include "testing/enterprise-server/ServerUserStore.h"

#include <QObject>
#include <QString>
#include <optional>

class QTcpSocket;
class QTimer;

namespace keskor::testing {

class EnterpriseServer;
struct ServerDatabase;

class ServerSession : public QObject {
    Q_OBJECT
public:
    /// Takes `socket` over; the session is a child of `server` and deletes itself when the
    /// connection ends.
    ServerSession(QTcpSocket* socket, EnterpriseServer& server);
    ~ServerSession() override;

private:
    void onReadyRead();
    void end();
    void handle(const TCSDataPacket& request);
    void send(const TCSDataPacket& answer);
    TCSDataPacket reply(const TCSDataPacket& request, std::int32_t result = 0,
                        const QString& text = {}) const;

    void keyExchangeStart(const TCSDataPacket& request);
    void keyExchangeFinish(const TCSDataPacket& request);
    void login(const TCSDataPacket& request);
    void activate2FA(const TCSDataPacket& request);
    void changePassword(const TCSDataPacket& request);
    void serverInfo(const TCSDataPacket& request);
    void listDatabases(const TCSDataPacket& request);
    void downloadDatabase(const TCSDataPacket& request);
    void editDatabase(const TCSDataPacket& request);
    /// The answer for a password-checked user: a two-factor demand, or success.
    TCSDataPacket finishLogin(const TCSDataPacket& request, ServerUser user,
                              const std::optional<QString>& code, const QString& token, bool trust);
    /// The logged-in user's database named by text 1, or an answer explaining why not.
    std::optional<ServerDatabase> databaseFor(const TCSDataPacket& request);
    bool saveUser(const ServerUser& user);

    QTcpSocket* m_socket;
    EnterpriseServer& m_server;
    ServerProtocol m_protocol{ProtocolVersion::version3};
    PacketHandler m_packetHandler;
    QTimer* m_idleTimer;
    Key256 m_key;
    OpenSSLHelper m_ecdh;
    bool m_keyExchanged = false;
    std::int32_t m_mode = TCSDataPacket::DATA_PACKET_ENCRYPT;
    /// Signed in.
    std::optional<QString> m_userId;
    /// Password checked, waiting for a two-factor activation on this connection.
    std::optional<QString> m_pendingUserId;
};

} // namespace keskor::testing
