#pragma once
// The one connection of the enterprise storage to its server. All connection work (states,
// sends, reads, framing) runs on its own thread, "Enterprise Client connection"; every
// connect and send outcome is delivered on the main thread. One request at a time: sending
// arms the packet handler and waits for exactly one answer packet or one error.

#include "core/shared/IProtocol.h"
#include "core/shared/Key256.h"
#include "core/shared/ProtocolVersion.h"
#include "core/shared/TCSDataPacket.h"
#include "enterprise/NetConnection.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QThread;

namespace keskor {

class PacketHandler;

/// Time limits and the packet bound of one client.
struct TCPClientOptions {
    /// A connection still being prepared after this long is cancelled.
    std::chrono::milliseconds connectTimeout{10000};
    /// A request without an answer after this long fails; zero waits for ever.
    std::chrono::milliseconds answerTimeout{60000};
    qsizetype maxPacketSize = TCSDataPacket::MAX_PACKET_SIZE;
};

class TCPClient : public std::enable_shared_from_this<TCPClient> {
public:
    using ConnectSuccess = std::function<void()>;
    using ConnectFailure = std::function<void(const QString& message)>;
    using SendSuccess = std::function<void(const TCSDataPacket& answer)>;
    using SendFailure =
        std::function<void(const std::optional<TCSDataPacket>& answer, const QString& message)>;
    /// Runs on the main thread once a TLS connection stands, with the certificate's SHA-256;
    /// a returned text refuses the connection with that failure.
    using CertificateCheck = std::function<std::optional<QString>(const QByteArray& sha256)>;

    using Options = TCPClientOptions;

    static constexpr const char* threadName = "Enterprise Client connection";

    static std::shared_ptr<TCPClient> create(const QString& host, int port,
                                             ProtocolVersion protocolVersion, bool useSSL,
                                             Options options = {});
    ~TCPClient();
    TCPClient(const TCPClient&) = delete;
    TCPClient& operator=(const TCPClient&) = delete;

    /// At most one outcome is reported per connection.
    void connect(ConnectSuccess success, ConnectFailure failure);
    void sendPacket(const TCSDataPacket& packet, SendSuccess success, SendFailure failure);
    void close();

    /// The packet key, also handed to the packet handler. No packet is sent without it.
    void setKey(std::optional<Key256> key);
    std::optional<Key256> key() const;
    void setCertificateCheck(CertificateCheck check);

    bool isReady() const;
    NetConnection::State connectionState() const;
    const IProtocol& serverProtocol() const { return *m_serverProtocol; }
    ProtocolVersion protocolVersion() const { return m_protocolVersion; }
    /// The connection thread, for tests that check where work runs.
    QThread* thread() const { return m_thread; }

private:
    TCPClient(const QString& host, int port, ProtocolVersion protocolVersion, bool useSSL,
              Options options);
    struct Request;
    void onStateChanged(NetConnection::State state, const QString& error);
    void onReceived(const QByteArray& bytes, bool endOfStream);
    void reportConnectFailure(const QString& message);
    void finishRequest(std::optional<TCSDataPacket> packet, const QString& error);
    void armAnswerTimer(quint64 serial);

    std::unique_ptr<IProtocol> m_serverProtocol;
    ProtocolVersion m_protocolVersion;
    Options m_options;
    QThread* m_thread = nullptr;
    NetConnection* m_nwConnection = nullptr;
    std::unique_ptr<PacketHandler> m_packetHandler;

    mutable std::mutex m_mutex;
    std::optional<Key256> m_key;
    ConnectSuccess m_connectSuccessCallback;
    ConnectFailure m_connectFailCallback;
    CertificateCheck m_certificateCheck;

    // Connection thread only.
    std::unique_ptr<Request> m_request;
    quint64 m_requestSerial = 0;
};

} // namespace keskor
