#pragma once
// The reference enterprise server: listens on a local address, with TLS when asked, and gives
// every connection its own ServerSession. Users and databases live in the data folder. Runs on
// the thread that made it (the main thread in the dev server and in tests).

#include "testing/enterprise-server/ServerCertificate.h"
#include "testing/enterprise-server/ServerDatabaseStore.h"
#include "testing/enterprise-server/ServerUserStore.h"

#include <QHostAddress>
#include <QTcpServer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace keskor::testing {

struct EnterpriseServerOptions {
    QString dataFolder;
    bool tls = false;
    QHostAddress address = QHostAddress::LocalHost;
    /// A session without a complete request for this long is closed.
    std::chrono::milliseconds idleTimeout{5 * 60 * 1000};
    /// Requests announcing more are refused before their bytes are buffered.
    qsizetype maxPacketSize = qsizetype(64) << 20;
    /// Connections beyond this many are closed at once, so a flood cannot exhaust memory.
    int maxSessions = 64;
    /// The curve offered in the key exchange (an OpenSSL NID; 415 is P-256).
    int curveNid = 415;
    ServerUserStore::HashCost hashCost = ServerUserStore::HashCost::interactive();
    /// Seconds since 1970 for the one-time codes; the system clock when empty.
    std::function<std::int64_t()> clock;
    /// For client tests of a server that dies mid-answer: when set, each answer is cut to this
    /// many bytes and the connection closed.
    std::optional<qsizetype> cutAnswersTo;
    /// The issuer shown in authenticator apps.
    QString issuer = QStringLiteral("Keskor enterprise");
};

class EnterpriseServer : public QTcpServer {
    Q_OBJECT
public:
    using Options = EnterpriseServerOptions;

    explicit EnterpriseServer(Options options, QObject* parent = nullptr);
    ~EnterpriseServer() override;

    /// Reads the data folder (and makes the certificate for TLS), then listens on `port`
    /// (0: an ephemeral one). False with `error` when either fails.
    bool start(quint16 port, QString* error);

    const Options& options() const noexcept { return m_options; }
    ServerUserStore& users() noexcept { return m_users; }
    ServerDatabaseStore& databases() noexcept { return m_databases; }
    /// SHA-256 of the certificate (DER); empty without TLS.
    QByteArray certificateSha256() const;
    std::int64_t now() const;
    int sessionCount() const noexcept { return m_sessionCount; }

Q_SIGNALS:
    void sessionStarted();
    void sessionEnded();

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    friend class ServerSession;
    void onSessionEnded();

    Options m_options;
    ServerUserStore m_users;
    ServerDatabaseStore m_databases;
    ServerCertificate m_certificate;
    int m_sessionCount = 0;
};

} // namespace keskor::testing
