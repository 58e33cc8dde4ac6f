#include "testing/enterprise-server/EnterpriseServer.h"

#include "testing/enterprise-server/ServerSession.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QSslConfiguration>
#include <QSslSocket>

namespace keskor::testing {

EnterpriseServer::EnterpriseServer(Options options, QObject* parent)
    : QTcpServer(parent), m_options(std::move(options)),
      m_users(QDir(m_options.dataFolder).filePath(QStringLiteral("users.json")),
              m_options.hashCost),
      m_databases(m_options.dataFolder) {}

EnterpriseServer::~EnterpriseServer() {
    close();
    // Sessions are children; they must not report to a half-destroyed server.
    for (ServerSession* session : findChildren<ServerSession*>(Qt::FindDirectChildrenOnly)) {
        delete session;
    }
}

bool EnterpriseServer::start(quint16 port, QString* error) {
    if (!QDir().mkpath(m_options.dataFolder)) {
        *error = QStringLiteral("cannot create the data folder");
        return false;
    }
    QString reason;
    if (!m_users.load(&reason)) {
        *error = QStringLiteral("users.json: ") + reason;
        return false;
    }
    if (!m_databases.load(&reason)) {
        *error = QStringLiteral("databases.json: ") + reason;
        return false;
    }
    if (m_options.tls && !m_certificate.loadOrCreate(m_options.dataFolder, &reason)) {
        *error = QStringLiteral("TLS certificate: ") + reason;
        return false;
    }
    if (!listen(m_options.address, port)) {
        *error = errorString();
        return false;
    }
    return true;
}

QByteArray EnterpriseServer::certificateSha256() const {
    if (!m_options.tls) {
        return {};
    }
    return QCryptographicHash::hash(m_certificate.certificate().toDer(),
                                    QCryptographicHash::Sha256);
}

std::int64_t EnterpriseServer::now() const {
    return m_options.clock ? m_options.clock() : QDateTime::currentSecsSinceEpoch();
}

void EnterpriseServer::incomingConnection(qintptr socketDescriptor) {
    QTcpSocket* socket = nullptr;
    if (m_options.tls) {
        auto* ssl = new QSslSocket;
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(m_certificate.certificate());
        config.setPrivateKey(m_certificate.key());
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        ssl->setSslConfiguration(config);
        socket = ssl;
    } else {
        socket = new QTcpSocket;
    }
    if (!socket->setSocketDescriptor(socketDescriptor) || m_sessionCount >= m_options.maxSessions) {
        socket->abort();
        delete socket;
        return;
    }
    // The session starts its own idle clock, so a client that never completes the TLS
    // handshake is dropped like one that never sends.
    if (auto* ssl = qobject_cast<QSslSocket*>(socket)) {
        ssl->startServerEncryption();
    }
    ++m_sessionCount;
    new ServerSession(socket, *this);
    Q_EMIT sessionStarted();
}

void EnterpriseServer::onSessionEnded() {
    --m_sessionCount;
    Q_EMIT sessionEnded();
}

} // namespace keskor::testing
