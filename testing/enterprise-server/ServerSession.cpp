#include "testing/enterprise-server/ServerSession.h"

#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/KeyHelper.h"
#include "enterprise/EnterpriseRequests.h"
#include "testing/enterprise-server/EnterpriseServer.h"
#include "testing/enterprise-server/ServerEntryEditor.h"
#include "testing/enterprise-server/Totp.h"
#include "testing/enterprise-server/TwoFactorImage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

namespace keskor::testing {

namespace {

constexpr qint64 kReadChunk = 64 * 1024;
/// A client that stops reading answers is dropped once this much waits to be sent.
constexpr qint64 kMaxUnsent = qint64(16) << 20;
constexpr std::uint32_t kRequiredTransport = IProtocol::dataTransportIntKeys |
                                             IProtocol::dataTransportDataKeys |
                                             IProtocol::dataTransportECDH;

QString loginFailure() {
    return QStringLiteral("Wrong user name or password");
}

} // namespace

ServerSession::ServerSession(QTcpSocket* socket, EnterpriseServer& server)
    : QObject(&server), m_socket(socket), m_server(server),
      m_packetHandler(m_protocol, server.options().maxPacketSize), m_idleTimer(new QTimer(this)),
      m_key(KeyHelper::getDefaultLMDKey()) {
    m_socket->setParent(this);
    m_socket->setReadBufferSize(kReadChunk * 4);
    m_packetHandler.key = m_key;
    m_packetHandler.arm();
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setInterval(server.options().idleTimeout);
    connect(m_idleTimer, &QTimer::timeout, this, [this] {
        QTextStream(stdout) << "Session idle, closing" << Qt::endl;
        end();
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &ServerSession::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &ServerSession::end);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            end();
        }
    });
    m_idleTimer->start();
}

ServerSession::~ServerSession() {
    m_server.onSessionEnded();
}

void ServerSession::end() {
    m_idleTimer->stop();
    m_packetHandler.reset();
    disconnect(m_socket, nullptr, this, nullptr);
    m_socket->abort();
    deleteLater();
}

void ServerSession::onReadyRead() {
    while (m_socket->bytesAvailable() > 0) {
        const QByteArray piece = m_socket->read(kReadChunk);
        if (piece.isEmpty()) {
            return;
        }
        m_packetHandler.append(piece);
        PacketHandler::Result result = m_packetHandler.process();
        if (result.error) {
            // Nothing sensible can be answered to bytes that are not a request of ours.
            QTextStream(stdout) << "Session ends: " << *result.error << Qt::endl;
            end();
            return;
        }
        if (result.packet) {
            if (m_socket->bytesToWrite() > kMaxUnsent) {
                QTextStream(stdout) << "Session ends: the client reads no answers" << Qt::endl;
                end();
                return;
            }
            m_idleTimer->start();
            m_mode = m_packetHandler.lastMode();
            handle(*result.packet);
            if (m_socket->state() != QAbstractSocket::ConnectedState) {
                return;
            }
            m_packetHandler.key = m_key;
            m_packetHandler.arm();
        }
    }
}

TCSDataPacket ServerSession::reply(const TCSDataPacket& request, std::int32_t result,
                                   const QString& text) const {
    return EnterpriseRequests::answer(m_protocol, request, result, text);
}

void ServerSession::send(const TCSDataPacket& answer) {
    try {
        const QByteArray bytes = answer.toBytes(m_key, m_mode);
        if (const auto cut = m_server.options().cutAnswersTo) {
            m_socket->write(bytes.left(*cut));
            m_socket->disconnectFromHost();
            return;
        }
        m_socket->write(bytes);
    } catch (const CommonException& e) {
        QTextStream(stdout) << "Answer not sent: " << e.message() << Qt::endl;
        end();
    }
}

void ServerSession::handle(const TCSDataPacket& request) {
    const std::optional<ProtocolCommand> command = m_protocol.commandFromCode(request.command());
    if (!command) {
        send(reply(request, IProtocol::ERR_UNKNOWN_COMMAND, QStringLiteral("Unknown command")));
        return;
    }
    switch (*command) {
    case ProtocolCommand::keyExchangeStart:
        return keyExchangeStart(request);
    case ProtocolCommand::keyExchangeFinish:
        return keyExchangeFinish(request);
    case ProtocolCommand::login:
        return login(request);
    case ProtocolCommand::activate2FA:
        return activate2FA(request);
    case ProtocolCommand::changePassword:
        return changePassword(request);
    case ProtocolCommand::azureLogin:
        return send(reply(request, IProtocol::ERR_FAILED,
                          QStringLiteral("This server offers no Azure log-in")));
    case ProtocolCommand::logout:
        m_userId.reset();
        m_pendingUserId.reset();
        return send(reply(request));
    default:
        break;
    }
    if (!m_userId) {
        send(reply(request, IProtocol::ERR_NOT_LOGGED_IN, QStringLiteral("Not logged in")));
        return;
    }
    switch (*command) {
    case ProtocolCommand::serverInfo:
        return serverInfo(request);
    case ProtocolCommand::listDatabases:
        return listDatabases(request);
    case ProtocolCommand::downloadDatabase:
        return downloadDatabase(request);
    default:
        return editDatabase(request);
    }
}

void ServerSession::keyExchangeStart(const TCSDataPacket& request) {
    const std::optional<quint32> flags = EnterpriseRequests::parseKeyExchangeStart(request);
    if (m_keyExchanged) {
        send(reply(request, IProtocol::ERR_FAILED, QStringLiteral("Key exchange done already")));
        return;
    }
    if (!flags || (*flags & kRequiredTransport) != kRequiredTransport) {
        send(reply(request, IProtocol::ERR_WRONG_PARAMETERS,
                   QStringLiteral("The client offers no key transport this server speaks")));
        return;
    }
    if (!m_ecdh.initOpenSSL(m_server.options().curveNid)) {
        send(reply(request, IProtocol::ERR_FAILED, QStringLiteral("Key pair not made")));
        return;
    }
    TCSDataPacket answer = reply(request);
    EnterpriseRequests::setKeyExchangeStartAnswer(answer, m_server.options().curveNid,
                                                  m_ecdh.getPublicKey());
    send(answer);
}

void ServerSession::keyExchangeFinish(const TCSDataPacket& request) {
    if (m_keyExchanged || m_ecdh.curveNid() == 0) {
        send(reply(request, IProtocol::ERR_FAILED, QStringLiteral("No key exchange under way")));
        return;
    }
    QString secret;
    if (m_ecdh.setPeerKey(EnterpriseRequests::parseKeyExchangeFinish(request))) {
        secret = m_ecdh.getCommonSecret();
    }
    if (secret.isEmpty()) {
        send(reply(request, IProtocol::ERR_WRONG_PARAMETERS,
                   QStringLiteral("The public key is not a key on the offered curve")));
        return;
    }
    // The answer still travels under the default key; the client switches once it has it.
    send(reply(request));
    m_key = EnterpriseRequests::sessionKey(secret);
    secureWipe(secret);
    m_keyExchanged = true;
}

void ServerSession::login(const TCSDataPacket& request) {
    m_userId.reset();
    m_pendingUserId.reset();
    if (m_mode == TCSDataPacket::DATA_PACKET_ENCRYPT_CBC && !m_keyExchanged) {
        send(reply(request, IProtocol::ERR_FAILED, QStringLiteral("Key exchange required")));
        return;
    }
    m_server.users().reloadIfChanged();
    const std::optional<EnterpriseRequests::Login> login = EnterpriseRequests::parseLogin(request);
    if (!login) {
        send(reply(request, IProtocol::ERR_WRONG_PARAMETERS,
                   QStringLiteral("Log-in request without user name or two-factor data")));
        return;
    }
    const std::optional<ServerUser> user = m_server.users().findByName(login->userName);
    if (!user || !m_server.users().verifyPassword(*user, login->password)) {
        send(reply(request, IProtocol::ERR_WRONG_CREDENTIALS, loginFailure()));
        return;
    }
    if (user->mustChangePassword) {
        send(reply(request, IProtocol::CHANGE_PASSWORD_REQUIRED,
                   QStringLiteral("The password must be changed before logging in")));
        return;
    }
    send(finishLogin(request, *user, login->dataTFA.code(), login->dataTFA.token(),
                     login->dataTFA.trust()));
}

TCSDataPacket ServerSession::finishLogin(const TCSDataPacket& request, ServerUser user,
                                         const std::optional<QString>& code, const QString& token,
                                         bool trust) {
    const QString digest = ServerUserStore::tokenDigest(token);
    if (user.twoFactorRequired && user.totpSecret.isEmpty()) {
        if (user.pendingSecret.isEmpty()) {
            user.pendingSecret = Totp::toBase32(Totp::newSecret());
            if (!saveUser(user)) {
                return reply(request, IProtocol::ERR_FAILED, QStringLiteral("User not saved"));
            }
        }
        m_pendingUserId = user.id;
        const QByteArray secret = Totp::fromBase32(user.pendingSecret).value_or(QByteArray());
        TCSDataPacket answer =
            reply(request, IProtocol::TWO_FACTOR_CODE_NOT_ACTIVATED,
                  QStringLiteral("Set up two-factor log-in with your authenticator app"));
        EnterpriseRequests::setTwoFactorNotActivated(
            answer,
            TwoFactorImage::placeholderPng(
                Totp::otpauthUri(m_server.options().issuer, user.name, secret)),
            user.pendingSecret);
        return answer;
    }
    if (user.twoFactorRequired && !user.trustedTokenDigests.contains(digest)) {
        if (!code) {
            TCSDataPacket answer = reply(request);
            EnterpriseRequests::setTwoFactorRequired(
                answer, user.allowTrust ? QStringLiteral("-1") : QStringLiteral("0"),
                QStringLiteral("Enter the code your authenticator app shows"));
            return answer;
        }
        const QByteArray secret = Totp::fromBase32(user.totpSecret).value_or(QByteArray());
        const std::optional<std::uint64_t> step = Totp::matchStep(secret, *code, m_server.now());
        // A code is good once: a replayed one is refused like a wrong one.
        if (!step || static_cast<std::int64_t>(*step) <= user.lastTotpStep) {
            return reply(request, IProtocol::TWO_FACTOR_CODE_WRONG,
                         QStringLiteral("Wrong two-factor code"));
        }
        user.lastTotpStep = static_cast<std::int64_t>(*step);
        if (trust && user.allowTrust && !token.isEmpty()) {
            user.trustedTokenDigests.append(digest);
        }
        if (!saveUser(user)) {
            return reply(request, IProtocol::ERR_FAILED, QStringLiteral("User not saved"));
        }
    }
    m_userId = user.id;
    m_pendingUserId.reset();
    QTextStream(stdout) << "Logged in: " << user.name << Qt::endl;
    TCSDataPacket answer = reply(request);
    answer.setData2(user.id.toUtf8());
    return answer;
}

void ServerSession::activate2FA(const TCSDataPacket& request) {
    const std::optional<EnterpriseRequests::Login> activation =
        EnterpriseRequests::parseActivate2FA(request);
    const std::optional<ServerUser> user =
        m_pendingUserId ? m_server.users().findById(*m_pendingUserId) : std::nullopt;
    if (!activation || !user || user->name != activation->userName) {
        send(reply(request, IProtocol::ERR_WRONG_PARAMETERS,
                   QStringLiteral("No two-factor activation is under way for this user")));
        return;
    }
    ServerUser activated = *user;
    const QByteArray secret = Totp::fromBase32(user->pendingSecret).value_or(QByteArray());
    const std::optional<std::uint64_t> step =
        Totp::matchStep(secret, *activation->dataTFA.code(), m_server.now());
    if (secret.isEmpty() || !step) {
        send(reply(request, IProtocol::TWO_FACTOR_CODE_WRONG,
                   QStringLiteral("Wrong two-factor code")));
        return;
    }
    activated.totpSecret = activated.pendingSecret;
    activated.pendingSecret.clear();
    activated.lastTotpStep = static_cast<std::int64_t>(*step);
    if (activation->dataTFA.trust() && activated.allowTrust) {
        activated.trustedTokenDigests.append(
            ServerUserStore::tokenDigest(activation->dataTFA.token()));
    }
    if (!saveUser(activated)) {
        send(reply(request, IProtocol::ERR_FAILED, QStringLiteral("User not saved")));
        return;
    }
    m_pendingUserId.reset();
    m_userId = activated.id;
    send(reply(request));
}

void ServerSession::changePassword(const TCSDataPacket& request) {
    const std::optional<EnterpriseRequests::PasswordChange> change =
        EnterpriseRequests::parseChangePassword(request);
    if (!change) {
        send(reply(request, IProtocol::ERR_WRONG_PARAMETERS,
                   QStringLiteral("User name or new password missing")));
        return;
    }
    std::optional<ServerUser> user = m_server.users().findByName(change->userName);
    if (!user || !m_server.users().verifyPassword(*user, change->oldPassword)) {
        send(reply(request, IProtocol::ERR_WRONG_CREDENTIALS, loginFailure()));
        return;
    }
    if (change->newPassword == change->oldPassword) {
        send(reply(request, IProtocol::ERR_WRONG_PARAMETERS,
                   QStringLiteral("The new password must differ from the old one")));
        return;
    }
    user->passwordHash = m_server.users().hashPassword(change->newPassword);
    user->mustChangePassword = false;
    if (user->passwordHash.isEmpty() || !saveUser(*user)) {
        send(reply(request, IProtocol::ERR_FAILED, QStringLiteral("Password not changed")));
        return;
    }
    send(reply(request));
}

void ServerSession::serverInfo(const TCSDataPacket& request) {
    QJsonArray users;
    for (const ServerUser& u : m_server.users().users()) {
        users.append(QJsonObject{{QStringLiteral("id"), u.id},
                                 {QStringLiteral("name"), u.name},
                                 {QStringLiteral("fullname"), u.fullname},
                                 {QStringLiteral("roles"), QString::number(u.roles)}});
    }
    const QJsonObject info{{QStringLiteral("server"), m_server.options().issuer},
                           {QStringLiteral("version"), QStringLiteral(KESKOR_VERSION)},
                           {QStringLiteral("users"), users}};
    TCSDataPacket answer = reply(request);
    answer.setData2(QJsonDocument(info).toJson(QJsonDocument::Compact));
    send(answer);
}

void ServerSession::listDatabases(const TCSDataPacket& request) {
    QList<QPair<QString, QString>> list;
    for (const ServerDatabase& db : m_server.databases().visibleTo(*m_userId)) {
        list.append({db.path, db.id});
    }
    TCSDataPacket answer = reply(request);
    EnterpriseRequests::setDatabaseList(answer, list);
    send(answer);
}

void ServerSession::downloadDatabase(const TCSDataPacket& request) {
    const std::optional<ServerDatabase> db = m_server.databases().find(*m_userId, request.text1());
    if (!db) {
        send(reply(request, IProtocol::ERR_NOT_FOUND, QStringLiteral("No such database")));
        return;
    }
    try {
        PassFile file = m_server.databases().read(*db);
        const std::optional<ServerUser> user = m_server.users().findById(*m_userId);
        file.serverId = db->id;
        file.krServer = m_socket->localAddress().toString();
        file.serverPort = m_socket->localPort();
        file.serverUser = user ? user->name : QString();
        file.currentUserId = *m_userId;
        file.serverTime = DateTimeHelper::Now();
        TCSDataPacket answer = reply(request);
        answer.setData2(file.getData(KeyHelper::getDefaultLMDKey()));
        send(answer);
    } catch (const CommonException& e) {
        send(reply(request, IProtocol::ERR_FAILED, e.message()));
    }
}

std::optional<ServerDatabase> ServerSession::databaseFor(const TCSDataPacket& request) {
    const std::optional<ServerDatabase> db = m_server.databases().findById(request.text1());
    if (!db || !db->visibleTo(*m_userId)) {
        send(reply(request, IProtocol::ERR_NOT_FOUND, QStringLiteral("No such database")));
        return std::nullopt;
    }
    return db;
}

void ServerSession::editDatabase(const TCSDataPacket& request) {
    const ProtocolCommand command = *m_protocol.commandFromCode(request.command());
    std::optional<EnterpriseRequests::EntryEdit> edit;
    std::optional<EnterpriseRequests::Grant> grant;
    std::optional<EnterpriseRequests::Revoke> revoke;
    std::optional<EnterpriseRequests::SealedRequest> sealed;
    if (EnterpriseRequests::isEntryEdit(command)) {
        edit = EnterpriseRequests::parseEntryEdit(m_protocol, request);
    } else if (command == ProtocolCommand::grantAccess) {
        grant = EnterpriseRequests::parseGrantAccess(request);
    } else if (command == ProtocolCommand::revokeAccess) {
        revoke = EnterpriseRequests::parseRevokeAccess(request);
    } else if (command == ProtocolCommand::sealedAccessRequest) {
        sealed = EnterpriseRequests::parseSealedAccessRequest(request);
    } else {
        send(reply(request, IProtocol::ERR_UNKNOWN_COMMAND,
                   QStringLiteral("This server does not offer the request")));
        return;
    }
    if (!edit && !grant && !revoke && !sealed) {
        send(reply(request, IProtocol::ERR_WRONG_PARAMETERS,
                   QStringLiteral("Missing or malformed request parameters")));
        return;
    }
    const std::optional<ServerDatabase> db = databaseFor(request);
    if (!db) {
        return;
    }
    try {
        PassFile file = m_server.databases().read(*db);
        ServerEntryEditor editor(file);
        ServerEntryEditor::Outcome outcome;
        if (edit) {
            outcome = editor.apply(*edit);
        } else if (grant) {
            outcome = editor.grant(grant->itemId, grant->permission, *m_userId);
        } else if (revoke) {
            outcome = editor.revoke(revoke->permissionId, *m_userId);
        } else {
            outcome = editor.checkSealed(sealed->itemId, sealed->permissionId);
            QString error;
            if (outcome.ok() && !m_server.databases().recordAccessRequest(
                                    db->id, sealed->itemId, sealed->permissionId, *m_userId,
                                    sealed->reason, &error)) {
                outcome = {IProtocol::ERR_FAILED, QStringLiteral("Request not saved: ") + error};
            }
            send(reply(request, outcome.result, outcome.text));
            return;
        }
        QString error;
        if (!outcome.ok()) {
            send(reply(request, outcome.result, outcome.text));
        } else if (!m_server.databases().write(*db, file, &error)) {
            send(reply(request, IProtocol::ERR_FAILED, QStringLiteral("Not saved: ") + error));
        } else {
            send(reply(request));
        }
    } catch (const CommonException& e) {
        send(reply(request, IProtocol::ERR_FAILED, e.message()));
    }
}

bool ServerSession::saveUser(const ServerUser& user) {
    QString error;
    if (!m_server.users().update(user, &error)) {
        QTextStream(stdout) << "users.json not written: " << error << Qt::endl;
        return false;
    }
    return true;
}

} // namespace keskor::testing
