#include "enterprise/EnterpriseStorage.h"

#include "core/SettingManager.h"
#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFileCodec.h"
#include "enterprise/EnterpriseRequests.h"
#include "enterprise/EnterpriseStorageDelegate.h"
#include "enterprise/IAzureAccount.h"
#include "enterprise/OpenSSLHelper.h"
#include "platform/DefaultsStore.h"
#include "platform/Keychain.h"
#include "platform/MainThread.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace keskor {

namespace {

const QString kNotSupported = QStringLiteral("Operation not supported");
const QString kNotConnected = QStringLiteral("enterprise_error_not_connected");
const QString kCertificateChanged = QStringLiteral("enterprise_error_certificate_changed");
const QString kPinPrefix = QStringLiteral("enterprise_pinned_certificate_");

void later(const IRemoteStorage::Failure& failure, const QString& message) {
    runOnMain([failure, message] { failure(message); });
}

} // namespace

struct EnterpriseStorage::PendingSave {
    PassFile file;
    std::vector<Success> successes;
    std::vector<Failure> failures;
};

template <typename Fn> auto EnterpriseStorage::guarded(Fn fn) const {
    return [alive = std::weak_ptr<int>(m_alive), fn = std::move(fn)](auto&&... args) {
        if (alive.lock()) {
            fn(std::forward<decltype(args)>(args)...);
        }
    };
}

EnterpriseStorage::EnterpriseStorage(DefaultsStore& defaults, Keychain& keychain,
                                     TCPClient::Options clientOptions)
    : m_defaults(defaults), m_keychain(keychain), m_clientOptions(clientOptions) {}

EnterpriseStorage::~EnterpriseStorage() {
    m_alive.reset();
    if (m_client) {
        m_client->close();
    }
    if (m_tmpClientForChangePassword) {
        m_tmpClientForChangePassword->close();
    }
}

// ---- settings and device token ---------------------------------------------------------------

ServerCredentials EnterpriseStorage::storedCredentials() const {
    ServerCredentials c;
    const std::optional<qint64> version = m_defaults.integerValue(keyForServerVersion);
    const qint64 n = version.value_or(1);
    c.protocolVersion = n >= 0 && n < qint64(ProtocolVersions::allCases.size())
                            ? ProtocolVersions::allCases[static_cast<std::size_t>(n)]
                            : ProtocolVersion::version2;
    const std::optional<qint64> port = m_defaults.integerValue(keyForServerPort);
    c.port = port && *port >= 0 && *port <= 65535
                 ? static_cast<int>(*port)
                 : createServerProtocol(c.protocolVersion)->defaultPort();
    c.host = m_defaults.stringValue(keyForServerName).value_or(QString());
    c.userName = m_defaults.stringValue(keyForUserName).value_or(QString());
    const QString id = m_defaults.stringValue(keyForUserId).value_or(QString());
    if (!id.isEmpty()) {
        c.id = id;
    }
    c.useSSL = m_defaults.boolValue(keyForSSL).value_or(false);
    return c;
}

void EnterpriseStorage::storeCredentials(const ServerCredentials& c) {
    m_defaults.setString(keyForServerName, c.host);
    m_defaults.setString(keyForUserName, c.userName);
    if (c.id && !c.id->isEmpty()) {
        m_defaults.setString(keyForUserId, *c.id);
    } else {
        m_defaults.remove(keyForUserId);
    }
    m_defaults.setString(keyForServerPort, QString::number(c.port));
    m_defaults.setString(keyForServerVersion,
                         QString::number(ProtocolVersions::raw(c.protocolVersion)));
    m_defaults.setString(keyForSSL, c.useSSL ? QStringLiteral("true") : QStringLiteral("false"));
}

QString EnterpriseStorage::deviceToken() {
    if (std::optional<QString> token = m_keychain.get(keyFor2FAToken); token && !token->isEmpty()) {
        return *token;
    }
    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    try {
        m_keychain.set(keyFor2FAToken, token);
    } catch (const CommonException& e) {
        // Still usable for this log-in; the server will ask for a code again next time.
        qWarning().noquote() << "enterprise: cannot keep the device token:" << e.message();
    }
    return token;
}

ConnectionData2FA EnterpriseStorage::twoFactorData(const std::optional<QString>& code, bool trust) {
    return ConnectionData2FA(deviceToken(), code, QString(), code ? trust : false);
}

bool EnterpriseStorage::isPinningEnabled() const {
    return m_defaults.boolValue(keyForCertificatePinning)
        .value_or(SettingManager::defaultEnterprisePinCertificate);
}

void EnterpriseStorage::forgetPinnedCertificate(const QString& endpoint) {
    m_defaults.remove(kPinPrefix + endpoint);
}

std::optional<QString> EnterpriseStorage::checkCertificate(const QString& endpoint,
                                                           const QByteArray& sha256) {
    if (!isPinningEnabled()) {
        return std::nullopt;
    }
    const QString seen = QString::fromLatin1(sha256.toHex());
    const std::optional<QString> pinned = m_defaults.stringValue(kPinPrefix + endpoint);
    if (!pinned || pinned->isEmpty()) {
        m_defaults.setString(kPinPrefix + endpoint, seen);
        return std::nullopt;
    }
    if (pinned->compare(seen, Qt::CaseInsensitive) != 0) {
        qWarning().noquote() << "enterprise: the certificate of" << endpoint
                             << "differs from the pinned one; refused";
        return kCertificateChanged;
    }
    return std::nullopt;
}

// ---- log-in chain ------------------------------------------------------------------------------

void EnterpriseStorage::login(Success success, Failure failure) {
    ServerCredentials credentials = m_credentials.value_or(storedCredentials());
    if (credentials.host.isEmpty() || (!m_isAzureLogin && credentials.userName.isEmpty())) {
        later(failure, text(QStringLiteral("error_input_required")));
        return;
    }
    login(credentials, m_isAzureLogin, m_dataTFA, std::move(success), std::move(failure));
}

void EnterpriseStorage::login(const ServerCredentials& credentials, bool isAzure,
                              std::optional<ConnectionData2FA> dataTFA, Success success,
                              Failure failure) {
    if (isAzure && !m_oneDriveStorage) {
        later(failure, QStringLiteral("failed"));
        return;
    }
    m_credentials = credentials;
    storeCredentials(credentials);
    m_isAzureLogin = isAzure;
    m_dataTFA =
        dataTFA ? std::move(dataTFA) : std::make_optional(twoFactorData(std::nullopt, false));
    const quint64 generation = ++m_generation;
    abandonLogin();
    m_connectingFailure = failure;

    std::shared_ptr<TCPClient> client =
        TCPClient::create(credentials.host, credentials.port, credentials.protocolVersion,
                          credentials.useSSL, m_clientOptions);
    client->setKey(KeyHelper::getDefaultLMDKey());
    if (credentials.useSSL) {
        client->setCertificateCheck([this, alive = std::weak_ptr<int>(m_alive),
                                     endpoint = credentials.endpoint()](const QByteArray& sha256) {
            return alive.lock() ? checkCertificate(endpoint, sha256) : std::nullopt;
        });
    }
    // The callbacks hold the client weakly: it keeps its connect callbacks until the outcome,
    // and the storage keeps the client.
    std::weak_ptr<TCPClient> weak = client;
    // A failure of a chain that a newer log-in replaced is not reported.
    auto fail = guarded([this, generation, weak, failure](const QString& message) {
        // Kept open only while the server waits for a new password or a code on it.
        std::shared_ptr<TCPClient> c = weak.lock();
        if (c && c != m_tmpClientForChangePassword) {
            c->close();
        }
        if (generation == m_generation) {
            m_connecting.reset();
            m_connectingFailure = nullptr;
            failure(message);
        }
    });
    auto loginStep = guarded([this, generation, weak, success, fail] {
        std::shared_ptr<TCPClient> c = weak.lock();
        if (c && generation == m_generation) {
            sendLogin(c, success, fail);
        }
    });
    const bool exchange = ProtocolVersions::raw(credentials.protocolVersion) != 1;
    client->connect(guarded([this, weak, exchange, loginStep, fail] {
                        std::shared_ptr<TCPClient> c = weak.lock();
                        if (!c) {
                            return;
                        }
                        if (exchange) {
                            keyExchange(c, loginStep, fail);
                        } else {
                            loginStep();
                        }
                    }),
                    fail);
    // Keeps the client alive until the chain ends, even when nobody holds it yet.
    m_connecting = client;
}

void EnterpriseStorage::abandonLogin() {
    if (m_connecting) {
        m_connecting->close();
        m_connecting.reset();
    }
    // The caller of a log-in that a newer one replaced still gets its one answer.
    if (Failure abandoned = std::exchange(m_connectingFailure, nullptr)) {
        later(abandoned, QStringLiteral("enterprise_error_cancel"));
    }
}

void EnterpriseStorage::keyExchange(const std::shared_ptr<TCPClient>& client, Success success,
                                    Failure failure) {
    // Callbacks hold the client weakly throughout: the storage owns it, so it is always
    // destroyed on the main thread and never by a callback's copy on the connection thread.
    std::weak_ptr<TCPClient> weak = client;
    auto helper = std::make_shared<OpenSSLHelper>();
    const auto sendFail = [failure](const std::optional<TCSDataPacket>&, const QString& message) {
        failure(message);
    };
    client->sendPacket(
        EnterpriseRequests::keyExchangeStart(client->serverProtocol()),
        guarded([weak, helper, success, failure, sendFail](const TCSDataPacket& answer) {
            std::shared_ptr<TCPClient> client = weak.lock();
            if (!client) {
                return;
            }
            const auto start = EnterpriseRequests::parseKeyExchangeStartAnswer(answer);
            if (!helper->initOpenSSL(start.curveNid) || !helper->setPeerKey(start.publicKeyPem)) {
                failure(QStringLiteral("enterprise_error_wrong_data_format"));
                return;
            }
            client->sendPacket(
                EnterpriseRequests::keyExchangeFinish(client->serverProtocol(),
                                                      helper->getPublicKey()),
                [weak, helper, success, failure](const TCSDataPacket&) {
                    std::shared_ptr<TCPClient> client = weak.lock();
                    const QString secret = helper->getCommonSecret();
                    if (!client) {
                        return;
                    }
                    if (secret.isEmpty()) {
                        failure(QStringLiteral("enterprise_error_wrong_data_format"));
                        return;
                    }
                    client->setKey(EnterpriseRequests::sessionKey(secret));
                    success();
                },
                sendFail);
        }),
        sendFail);
}

void EnterpriseStorage::sendLogin(const std::shared_ptr<TCPClient>& client, Success success,
                                  Failure failure) {
    const IProtocol& protocol = client->serverProtocol();
    const ConnectionData2FA tfa = *m_dataTFA;
    TCSDataPacket packet =
        m_isAzureLogin
            ? EnterpriseRequests::azureLogin(protocol, m_oneDriveStorage->tenantIdentifier(),
                                             m_oneDriveStorage->accessToken(), tfa)
            : EnterpriseRequests::login(protocol, m_credentials->userName, m_credentials->password,
                                        tfa);
    std::weak_ptr<TCPClient> weak = client;
    client->sendPacket(packet, guarded([this, weak, success, failure](const TCSDataPacket&) {
                           if (std::shared_ptr<TCPClient> c = weak.lock()) {
                               loginSucceeded(c, success, failure);
                           }
                       }),
                       guarded([this, weak, failure](const std::optional<TCSDataPacket>& answer,
                                                     const QString& message) {
                           if (std::shared_ptr<TCPClient> c = weak.lock()) {
                               loginFailed(c, answer, message, failure);
                           }
                       }));
}

void EnterpriseStorage::loginSucceeded(const std::shared_ptr<TCPClient>& client, Success success,
                                       Failure failure) {
    if (m_client && m_client != client) {
        m_client->close();
    }
    m_client = client;
    m_connecting.reset();
    m_connectingFailure = nullptr;
    m_tmpClientForChangePassword.reset();
    m_tmpQrCodeData.reset();
    if (ProtocolVersions::raw(client->protocolVersion()) != 3) {
        success();
        return;
    }
    client->sendPacket(
        EnterpriseRequests::serverInfo(client->serverProtocol()),
        guarded([this, success](const TCSDataPacket& answer) {
            m_serverFiles = QJsonDocument::fromJson(answer.data2()).object();
            const QJsonArray users = m_serverFiles.value(QLatin1String("users")).toArray();
            for (const QJsonValue& user : users) {
                const QJsonObject u = user.toObject();
                if (m_credentials &&
                    u.value(QLatin1String("name")).toString() == m_credentials->userName) {
                    const QString id = u.value(QLatin1String("id")).toVariant().toString();
                    if (!id.isEmpty()) {
                        m_credentials->id = id;
                        m_defaults.setString(keyForUserId, id);
                    }
                }
            }
            success();
        }),
        [failure](const std::optional<TCSDataPacket>&, const QString& message) {
            failure(message);
        });
}

void EnterpriseStorage::loginFailed(const std::shared_ptr<TCPClient>& client,
                                    const std::optional<TCSDataPacket>& answer,
                                    const QString& message, Failure failure) {
    if (!answer) {
        failure(message);
        return;
    }
    // The connection stays for the password change or the two-factor activation.
    m_tmpClientForChangePassword = client;
    const QString sep = QString::fromLatin1(separator);
    switch (answer->result()) {
    case TCSDataPacket::CHANGE_PASSWORD_REQUIRED:
        failure(QString::fromLatin1(passwordResetRequired));
        return;
    case TCSDataPacket::TWO_FACTOR_CODE_NOT_ACTIVATED: {
        const std::optional<QString> secret = EnterpriseRequests::utf8(answer->data3());
        if (!secret) {
            failure(QStringLiteral("Wrong secret key"));
            return;
        }
        m_tmpQrCodeData = answer->data2();
        failure(QString::fromLatin1(activate2FAPrefix) + sep + *secret);
        return;
    }
    case TCSDataPacket::TWO_FACTOR_CODE_REQUIRED: {
        const std::optional<QString> trust = EnterpriseRequests::utf8(answer->data2());
        if (!trust) {
            failure(QStringLiteral("Wrong trust field"));
            return;
        }
        const bool trusted = *trust == QLatin1String(valueFor2FATrust);
        failure(QString::fromLatin1(login2FAPrefix) + sep +
                (trusted ? QStringLiteral("true") : QStringLiteral("false")) + sep + message);
        return;
    }
    default:
        m_tmpClientForChangePassword.reset();
        client->close();
        failure(message);
        return;
    }
}

void EnterpriseStorage::sendOverLoginClient(Build build, Answer answer, Failure failure) {
    std::shared_ptr<TCPClient> client = m_tmpClientForChangePassword;
    if (!client || !client->isReady()) {
        later(failure, kNotConnected);
        return;
    }
    client->sendPacket(build(client->serverProtocol()), guarded(answer),
                       [failure](const std::optional<TCSDataPacket>&, const QString& message) {
                           failure(message);
                       });
}

void EnterpriseStorage::changePassword(const QString& oldPassword, const QString& newPassword,
                                       Success success, Failure failure) {
    if (!m_credentials) {
        later(failure, kNotConnected);
        return;
    }
    const QString user = m_credentials->userName;
    sendOverLoginClient(
        [user, oldPassword, newPassword](const IProtocol& p) {
            return EnterpriseRequests::changePassword(p, user, oldPassword, newPassword);
        },
        [this, newPassword, success, failure](const TCSDataPacket&) {
            m_credentials->password = newPassword;
            loginAgain(success, failure);
        },
        [failure](const QString&) {
            failure(QStringLiteral("Error while changing server password"));
        });
}

void EnterpriseStorage::activate2FA(const QString& code, Success success, Failure failure) {
    if (!m_credentials) {
        later(failure, kNotConnected);
        return;
    }
    const ConnectionData2FA tfa = twoFactorData(code, false);
    const QString user = m_credentials->userName;
    std::weak_ptr<TCPClient> weak = m_tmpClientForChangePassword;
    sendOverLoginClient(
        [user, tfa](const IProtocol& p) { return EnterpriseRequests::activate2FA(p, user, tfa); },
        [this, weak, tfa, success, failure](const TCSDataPacket&) {
            std::shared_ptr<TCPClient> client = weak.lock();
            if (!client) {
                failure(kNotConnected);
                return;
            }
            m_dataTFA = tfa;
            loginSucceeded(client, success, failure);
        },
        failure);
}

void EnterpriseStorage::confirm2FA(const QString& code, bool trust, Success success,
                                   Failure failure) {
    if (!m_credentials) {
        later(failure, kNotConnected);
        return;
    }
    login(*m_credentials, m_isAzureLogin, twoFactorData(code, trust), std::move(success),
          std::move(failure));
}

// ---- session check -----------------------------------------------------------------------------

void EnterpriseStorage::loginAgain(Success success, Failure failure) {
    if (!m_credentials) {
        later(failure, kNotConnected);
        return;
    }
    login(*m_credentials, m_isAzureLogin, m_dataTFA, std::move(success), std::move(failure));
}

void EnterpriseStorage::checkLiveness(Success next, Failure failure) {
    if (!m_client || !m_client->isReady()) {
        loginAgain(std::move(next), std::move(failure));
        return;
    }
    m_client->sendPacket(
        EnterpriseRequests::listDatabases(m_client->serverProtocol()),
        guarded([next](const TCSDataPacket&) { next(); }),
        guarded([this, next, failure](const std::optional<TCSDataPacket>&, const QString&) {
            // A dropped or expired session: sign in again once.
            loginAgain(next, failure);
        }));
}

void EnterpriseStorage::ensureSession(bool fresh, Success next, Failure failure) {
    auto proceed = guarded([this, fresh, next, failure] {
        if (fresh) {
            if (!m_credentials) {
                next();
            } else {
                loginAgain(next, failure);
            }
            return;
        }
        checkLiveness(next, failure);
    });
    if (m_isAzureLogin) {
        if (!m_oneDriveStorage) {
            later(failure, QStringLiteral("failed"));
            return;
        }
        m_oneDriveStorage->refresh(proceed, failure);
        return;
    }
    proceed();
}

void EnterpriseStorage::request(Build build, Answer answer, Failure failure, bool fresh) {
    ensureSession(fresh, guarded([this, build, answer, failure] {
                      if (!m_client || !m_client->isReady()) {
                          failure(kNotConnected);
                          return;
                      }
                      m_client->sendPacket(build(m_client->serverProtocol()), guarded(answer),
                                           [failure](const std::optional<TCSDataPacket>&,
                                                     const QString& message) { failure(message); });
                  }),
                  failure);
}

// ---- IRemoteStorage ----------------------------------------------------------------------------

void EnterpriseStorage::handleRedirect(const QUrl&) {}

bool EnterpriseStorage::isLoggedIn() const {
    return m_client && m_client->isReady();
}

void EnterpriseStorage::logout() {
    ++m_generation;
    abandonLogin();
    if (m_client) {
        m_client->close();
    }
    if (m_tmpClientForChangePassword) {
        m_tmpClientForChangePassword->close();
    }
    m_client.reset();
    m_tmpClientForChangePassword.reset();
    m_connecting.reset();
    m_credentials.reset();
    m_dataTFA.reset();
    m_remoteFiles.clear();
    m_serverCopy.reset();
    m_downloaded.reset();
    reloadDelegate();
}

void EnterpriseStorage::reloadDelegate() {
    if (m_delegate) {
        m_delegate->databaseListChanged();
    }
}

void EnterpriseStorage::listFiles(std::function<void(FileList)> success, Failure failure) {
    listFiles(std::move(success), std::move(failure), true);
}

void EnterpriseStorage::listFiles(std::function<void(FileList)> success, Failure failure,
                                  bool fresh) {
    request(
        EnterpriseRequests::listDatabases,
        [this, success](const TCSDataPacket& answer) {
            m_remoteFiles = EnterpriseRequests::parseDatabaseList(answer);
            reloadDelegate();
            success(m_remoteFiles);
        },
        failure, fresh);
}

void EnterpriseStorage::downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                                     Failure failure) {
    if (!file) {
        later(failure, text(QStringLiteral("error_file_read")));
        return;
    }
    request([name = file->name](
                const IProtocol& p) { return EnterpriseRequests::downloadDatabase(p, name); },
            [this, file, success, failure](const TCSDataPacket& answer) {
                if (!m_credentials) {
                    failure(kNotConnected);
                    return;
                }
                const std::optional<QString> content = EnterpriseRequests::utf8(answer.data2());
                PassFile database;
                try {
                    if (!content) {
                        throw CommonException(QString());
                    }
                    const Key256 key = KeyHelper::getDefaultLMDKey();
                    database.load(content->toUtf8(), &key, false);
                    database.postLoad();
                } catch (const CommonException&) {
                    failure(text(QStringLiteral("error_file_read")));
                    return;
                }
                // Marks the database as the server's, so the session saves it entry by entry.
                database.krServer = m_credentials->host;
                database.serverPort = m_credentials->port;
                database.serverUser = m_credentials->userName;
                if (m_credentials->id) {
                    database.currentUserId = *m_credentials->id;
                }
                if (!database.serverId && file->id) {
                    database.serverId = file->id;
                }
                m_serverCopy = EntrySnapshot(database);
                m_downloaded = OpenedDatabase{std::move(database),
                                              Credentials(m_credentials->password, std::nullopt)};
                success();
            },
            failure);
}

void EnterpriseStorage::saveCurrentFile(Success, Failure failure) {
    later(failure, kNotSupported);
}

void EnterpriseStorage::deleteFiles(FileList, Success, Failure failure) {
    later(failure, kNotSupported);
}

std::optional<IEntrySyncStorage::OpenedDatabase> EnterpriseStorage::takeDownloadedDatabase() {
    return std::exchange(m_downloaded, std::nullopt);
}

void EnterpriseStorage::setServerCopy(const PassFile& database) {
    m_serverCopy = EntrySnapshot(database);
}

std::size_t EnterpriseStorage::unsentChanges(const PassFile& current) const {
    return m_serverCopy ? m_serverCopy->diff(current).size() : 0;
}

// ---- saving entry by entry ---------------------------------------------------------------------

void EnterpriseStorage::saveEntryChanges(const PassFile& current, Success success,
                                         Failure failure) {
    if (!m_serverCopy) {
        later(failure, kNotConnected);
        return;
    }
    // The newest state covers every earlier one: callers waiting for those are answered with it.
    if (!m_nextSave) {
        m_nextSave = std::make_unique<PendingSave>(PendingSave{current, {}, {}});
    } else {
        m_nextSave->file = current;
    }
    m_nextSave->successes.push_back(std::move(success));
    m_nextSave->failures.push_back(std::move(failure));
    if (!m_runningSave) {
        runSave();
    }
}

void EnterpriseStorage::runSave() {
    m_runningSave = std::move(m_nextSave);
    if (!m_runningSave) {
        return;
    }
    auto edits =
        std::make_shared<std::vector<EntrySnapshot::Edit>>(m_serverCopy->diff(m_runningSave->file));
    if (edits->empty()) {
        runOnMain(guarded([this] { finishSave(std::nullopt); }));
        return;
    }
    const QString serverId = m_runningSave->file.serverId.value_or(QString());
    ensureSession(false, guarded([this, edits, serverId] {
                      sendEdits(
                          edits, 0, serverId, [this] { finishSave(std::nullopt); },
                          [this](const QString& message) { finishSave(message); });
                  }),
                  guarded([this](const QString& message) { finishSave(message); }));
}

void EnterpriseStorage::sendEdits(std::shared_ptr<std::vector<EntrySnapshot::Edit>> edits,
                                  std::size_t next, QString serverId, Success done,
                                  Failure failure) {
    if (next == edits->size()) {
        done();
        return;
    }
    if (!m_client || !m_client->isReady()) {
        failure(kNotConnected);
        return;
    }
    const EntrySnapshot::Edit& edit = (*edits)[next];
    m_client->sendPacket(
        EnterpriseRequests::entryEdit(m_client->serverProtocol(), edit.command, serverId,
                                      edit.itemId, edit.parentId, edit.item),
        guarded([this, edits, next, serverId, done, failure](const TCSDataPacket&) {
            m_serverCopy->apply((*edits)[next]);
            sendEdits(edits, next + 1, serverId, done, failure);
        }),
        [failure](const std::optional<TCSDataPacket>&, const QString& message) {
            failure(message);
        });
}

void EnterpriseStorage::finishSave(const std::optional<QString>& failure) {
    std::unique_ptr<PendingSave> done = std::move(m_runningSave);
    if (done) {
        if (failure) {
            for (const Failure& f : done->failures) {
                f(*failure);
            }
        } else {
            for (const Success& s : done->successes) {
                s();
            }
        }
    }
    if (m_nextSave && !m_runningSave) {
        runSave();
    }
}

// ---- single edits and access rights
// --------------------------------------------------------------

void EnterpriseStorage::editRequest(ProtocolCommand command, const PassFile& database,
                                    const QString& itemId, const QString& parentId,
                                    const Info2Item* item, Success success, Failure failure) {
    const QString serverId = database.serverId.value_or(QString());
    const QByteArray bytes = item ? PassFileCodec::serializeItem(*item) : QByteArray();
    const EntrySnapshot::Edit edit{command, itemId, parentId, bytes};
    request(
        [edit, serverId](const IProtocol& p) {
            return EnterpriseRequests::entryEdit(p, edit.command, serverId, edit.itemId,
                                                 edit.parentId, edit.item);
        },
        [this, edit, success](const TCSDataPacket&) {
            // Keeps a later saveEntryChanges from sending it a second time.
            if (m_serverCopy) {
                m_serverCopy->apply(edit);
            }
            success();
        },
        failure);
}

void EnterpriseStorage::addItem(const PassFile& database, const Info2Item& item,
                                const QString& parentId, Success success, Failure failure) {
    editRequest(ProtocolCommand::addItem, database, item.fingerprint(), parentId, &item, success,
                failure);
}

void EnterpriseStorage::updateItem(const PassFile& database, const Info2Item& item, Success success,
                                   Failure failure) {
    const QString parentId = item.parent() ? item.parent()->fingerprint() : QString();
    editRequest(ProtocolCommand::updateItem, database, item.fingerprint(), parentId, &item, success,
                failure);
}

void EnterpriseStorage::deleteItem(const PassFile& database, const QString& itemId, Success success,
                                   Failure failure) {
    editRequest(ProtocolCommand::deleteItem, database, itemId, QString(), nullptr, success,
                failure);
}

void EnterpriseStorage::moveItem(const PassFile& database, const QString& itemId,
                                 const QString& newParentId, Success success, Failure failure) {
    editRequest(ProtocolCommand::moveItem, database, itemId, newParentId, nullptr, success,
                failure);
}

void EnterpriseStorage::addFolder(const PassFile& database, const Info2Item& folder,
                                  const QString& parentId, Success success, Failure failure) {
    editRequest(ProtocolCommand::addFolder, database, folder.fingerprint(), parentId, &folder,
                success, failure);
}

void EnterpriseStorage::updateFolder(const PassFile& database, const Info2Item& folder,
                                     Success success, Failure failure) {
    const QString parentId = folder.parent() ? folder.parent()->fingerprint() : QString();
    editRequest(ProtocolCommand::updateFolder, database, folder.fingerprint(), parentId, &folder,
                success, failure);
}

void EnterpriseStorage::deleteFolder(const PassFile& database, const QString& folderId,
                                     Success success, Failure failure) {
    editRequest(ProtocolCommand::deleteFolder, database, folderId, QString(), nullptr, success,
                failure);
}

void EnterpriseStorage::moveFolder(const PassFile& database, const QString& folderId,
                                   const QString& newParentId, Success success, Failure failure) {
    editRequest(ProtocolCommand::moveFolder, database, folderId, newParentId, nullptr, success,
                failure);
}

void EnterpriseStorage::grantAccess(const PassFile& database, const QString& itemId,
                                    const AccessPermission& permission, Success success,
                                    Failure failure) {
    const QString serverId = database.serverId.value_or(QString());
    request(
        [serverId, itemId, permission](const IProtocol& p) {
            return EnterpriseRequests::grantAccess(p, serverId, itemId, permission);
        },
        [success](const TCSDataPacket&) { success(); }, failure);
}

void EnterpriseStorage::revokeAccess(const PassFile& database, const QString& permissionId,
                                     Success success, Failure failure) {
    const QString serverId = database.serverId.value_or(QString());
    request(
        [serverId, permissionId](const IProtocol& p) {
            return EnterpriseRequests::revokeAccess(p, serverId, permissionId);
        },
        [success](const TCSDataPacket&) { success(); }, failure);
}

void EnterpriseStorage::requestSealedAccess(const PassFile& database, const QString& itemId,
                                            const QString& reason, Success success,
                                            Failure failure) {
    const std::shared_ptr<Info2Item> entry = database.findItem(itemId);
    const AccessPermission* sealed = nullptr;
    if (entry) {
        for (const AccessPermission& p : entry->accessPermissions()) {
            if (p.sealed) {
                sealed = &p;
                break;
            }
        }
    }
    if (!sealed) {
        later(failure, QStringLiteral("failed to find the entry"));
        return;
    }
    const QString serverId = database.serverId.value_or(QString());
    const QString permissionId = sealed->id;
    request(
        [serverId, itemId, permissionId, reason](const IProtocol& p) {
            return EnterpriseRequests::sealedAccessRequest(p, serverId, itemId, permissionId,
                                                           reason);
        },
        [success](const TCSDataPacket&) { success(); }, failure);
}

QList<QVariantMap> EnterpriseStorage::serverUsers() const {
    QList<QVariantMap> users;
    for (const QJsonValue& user : m_serverFiles.value(QLatin1String("users")).toArray()) {
        QVariantMap map;
        const QJsonObject o = user.toObject();
        for (auto it = o.constBegin(); it != o.constEnd(); ++it) {
            map.insert(it.key(), it.value().toVariant().toString());
        }
        users.append(map);
    }
    return users;
}

} // namespace keskor
