#pragma once
// The storage of the enterprise location: remembers the last server in the settings, logs in
// (password or Azure account) with the two-factor and password-change demands of the server,
// lists and opens the server's databases, sends per-entry edits and the access-rights
// requests. Used on the main thread; every callback arrives there, exactly once.
//
// Failure texts that begin with "enterprise_error_" are localisation keys; the special texts
// "PASSWORD_RESET_REQUIRED", "ACTIVATE_2FA&&**<secret>" and "LOGIN_2FA&&**<trust>&&**<text>"
// tell the log-in dialog which dialog to open next.

#include "core/IEntrySyncStorage.h"
#include "core/IRemoteStorage.h"
#include "core/shared/AccessPermission.h"
#include "core/shared/ConnectionData2FA.h"
#include "core/shared/PassFile.h"
#include "core/shared/ProtocolCommand.h"
#include "enterprise/EntrySnapshot.h"
#include "enterprise/ServerCredentials.h"
#include "enterprise/TCPClient.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QVariantMap>
#include <memory>
#include <optional>

namespace keskor {

class DefaultsStore;
class EnterpriseStorageDelegate;
class IAzureAccount;
class Keychain;

class EnterpriseStorage : public IRemoteStorage, public IEntrySyncStorage {
public:
    static constexpr const char* keyForServerName = "enterprise_name";
    static constexpr const char* keyForServerPort = "enterprise_port";
    static constexpr const char* keyForUserName = "enterprise_user_name";
    static constexpr const char* keyForUserId = "enterprise_user_id";
    static constexpr const char* keyForServerVersion = "enterprise_server_version";
    static constexpr const char* keyFor2FAToken = "enterprise_2fa_token";
    static constexpr const char* keyForSSL = "enterprise_ssl";
    /// Trust on first use of the server certificate (on for new installations).
    static constexpr const char* keyForCertificatePinning = "setting_enterprise_pin_certificate";
    static constexpr const char* valueFor2FATrust = "-1";

    static constexpr const char* passwordResetRequired = "PASSWORD_RESET_REQUIRED";
    static constexpr const char* activate2FAPrefix = "ACTIVATE_2FA";
    static constexpr const char* login2FAPrefix = "LOGIN_2FA";
    /// Separates the parts of the special failure texts.
    static constexpr const char* separator = "&&**";

    EnterpriseStorage(DefaultsStore& defaults, Keychain& keychain,
                      TCPClient::Options clientOptions = {});
    ~EnterpriseStorage() override;

    // IRemoteStorage.
    /// Logs in again with the stored settings and the last password of this run.
    void login(Success success, Failure failure) override;
    void handleRedirect(const QUrl& url) override;
    bool isLoggedIn() const override;
    void logout() override;
    /// Logs in again first, so the list reflects the rights of this moment.
    void listFiles(std::function<void(FileList)> success, Failure failure) override;
    /// Without `fresh`, only checks the session (right after a log-in whose two-factor code
    /// the server would not take a second time).
    void listFiles(std::function<void(FileList)> success, Failure failure, bool fresh);
    /// Loads the database from the server's answer into memory (takeDownloadedDatabase).
    void downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                      Failure failure) override;
    /// Refused: enterprise databases are saved entry by entry.
    void saveCurrentFile(Success success, Failure failure) override;
    void deleteFiles(FileList files, Success success, Failure failure) override;

    // IEntrySyncStorage.
    std::optional<OpenedDatabase> takeDownloadedDatabase() override;
    void saveEntryChanges(const PassFile& current, Success success, Failure failure) override;

    // Log-in.
    /// The full log-in chain: connect, key exchange, log-in, server information.
    void login(const ServerCredentials& credentials, bool isAzure,
               std::optional<ConnectionData2FA> dataTFA, Success success, Failure failure);
    /// The credentials of the last log-in as stored in the settings (no password).
    ServerCredentials storedCredentials() const;
    /// This installation's device token, made and stored in the keychain on first use.
    QString deviceToken();
    /// The two-factor data of a log-in: the device token, and the code the user typed.
    ConnectionData2FA twoFactorData(const std::optional<QString>& code, bool trust);
    /// The account of the Azure route; none leaves every Azure request failing with "failed".
    void setAzureAccount(IAzureAccount* account) { m_oneDriveStorage = account; }
    IAzureAccount* azureAccount() const { return m_oneDriveStorage; }
    void setDelegate(EnterpriseStorageDelegate* delegate) { m_delegate = delegate; }

    // Demands of the server during log-in, sent over the connection kept for them.
    /// Sets a new password; failure "Error while changing server password".
    void changePassword(const QString& oldPassword, const QString& newPassword, Success success,
                        Failure failure);
    /// Activates two-factor codes with the first code from the authenticator.
    void activate2FA(const QString& code, Success success, Failure failure);
    /// Logs in again with a typed code and the trust choice.
    void confirm2FA(const QString& code, bool trust, Success success, Failure failure);

    // Per-entry edits of the open database (`database` names it on the server).
    void addItem(const PassFile& database, const Info2Item& item, const QString& parentId,
                 Success success, Failure failure);
    void updateItem(const PassFile& database, const Info2Item& item, Success success,
                    Failure failure);
    void deleteItem(const PassFile& database, const QString& itemId, Success success,
                    Failure failure);
    void moveItem(const PassFile& database, const QString& itemId, const QString& newParentId,
                  Success success, Failure failure);
    void addFolder(const PassFile& database, const Info2Item& folder, const QString& parentId,
                   Success success, Failure failure);
    void updateFolder(const PassFile& database, const Info2Item& folder, Success success,
                      Failure failure);
    void deleteFolder(const PassFile& database, const QString& folderId, Success success,
                      Failure failure);
    void moveFolder(const PassFile& database, const QString& folderId, const QString& newParentId,
                    Success success, Failure failure);

    // Access rights.
    void grantAccess(const PassFile& database, const QString& itemId,
                     const AccessPermission& permission, Success success, Failure failure);
    void revokeAccess(const PassFile& database, const QString& permissionId, Success success,
                      Failure failure);
    /// Asks for a sealed entry; "failed to find the entry" when it carries no sealed permission.
    void requestSealedAccess(const PassFile& database, const QString& itemId, const QString& reason,
                             Success success, Failure failure);

    // State the dialogs read.
    const std::optional<ServerCredentials>& credentials() const { return m_credentials; }
    const FileList& remoteFiles() const { return m_remoteFiles; }
    /// Server information of the last protocol-3 log-in.
    const QJsonObject& serverFiles() const { return m_serverFiles; }
    /// The list "users" of the server information, each a map of texts.
    QList<QVariantMap> serverUsers() const;
    const std::optional<QByteArray>& qrCodeData() const { return m_tmpQrCodeData; }
    bool isAzureLogin() const { return m_isAzureLogin; }
    bool isPinningEnabled() const;
    /// Forgets the pinned certificate of `endpoint` ("host:port"), after the user checked the
    /// new one.
    void forgetPinnedCertificate(const QString& endpoint);

    /// Localises the failure texts that are not "enterprise_error_" keys ("error_file_read").
    void setTextLookup(std::function<QString(const QString&)> text) { m_text = std::move(text); }
    /// Uses `database` (as the server sent it, or as the caller last saved it) as the base
    /// of the next saveEntryChanges.
    void setServerCopy(const PassFile& database);
    /// How many edits the next save of `current` would send.
    std::size_t unsentChanges(const PassFile& current) const;

private:
    using Build = std::function<TCSDataPacket(const IProtocol& protocol)>;
    using Answer = std::function<void(const TCSDataPacket& answer)>;
    struct PendingSave;

    /// The session check, then one request over `client`.
    void request(Build build, Answer answer, Failure failure, bool fresh = false);
    void ensureSession(bool fresh, Success next, Failure failure);
    void checkLiveness(Success next, Failure failure);
    void loginAgain(Success success, Failure failure);
    void keyExchange(const std::shared_ptr<TCPClient>& client, Success success, Failure failure);
    /// Ends the log-in under way, if any, with "enterprise_error_cancel".
    void abandonLogin();
    void sendLogin(const std::shared_ptr<TCPClient>& client, Success success, Failure failure);
    void loginSucceeded(const std::shared_ptr<TCPClient>& client, Success success, Failure failure);
    void loginFailed(const std::shared_ptr<TCPClient>& client,
                     const std::optional<TCSDataPacket>& answer, const QString& message,
                     Failure failure);
    void storeCredentials(const ServerCredentials& credentials);
    std::optional<QString> checkCertificate(const QString& endpoint, const QByteArray& sha256);
    void sendOverLoginClient(Build build, Answer answer, Failure failure);
    void editRequest(ProtocolCommand command, const PassFile& database, const QString& itemId,
                     const QString& parentId, const Info2Item* item, Success success,
                     Failure failure);
    void runSave();
    void sendEdits(std::shared_ptr<std::vector<EntrySnapshot::Edit>> edits, std::size_t next,
                   QString serverId, Success done, Failure failure);
    void finishSave(const std::optional<QString>& failure);
    void reloadDelegate();
    /// Wraps a callback so that it does nothing once this storage is gone.
    template <typename Fn> auto guarded(Fn fn) const;
    QString text(const QString& key) const { return m_text ? m_text(key) : key; }

    DefaultsStore& m_defaults;
    Keychain& m_keychain;
    TCPClient::Options m_clientOptions;
    EnterpriseStorageDelegate* m_delegate = nullptr;
    std::shared_ptr<TCPClient> m_client;
    std::shared_ptr<TCPClient> m_tmpClientForChangePassword;
    /// The client of the log-in under way.
    std::shared_ptr<TCPClient> m_connecting;
    Failure m_connectingFailure;
    std::optional<QByteArray> m_tmpQrCodeData;
    std::optional<ConnectionData2FA> m_dataTFA;
    std::optional<ServerCredentials> m_credentials;
    FileList m_remoteFiles;
    bool m_isAzureLogin = false;
    IAzureAccount* m_oneDriveStorage = nullptr;
    QJsonObject m_serverFiles;
    std::function<QString(const QString&)> m_text;
    /// The database as the server holds it: what the next save compares against.
    std::optional<EntrySnapshot> m_serverCopy;
    std::optional<OpenedDatabase> m_downloaded;
    /// Saves arrive after every edit; one runs at a time, the newest waits for it.
    std::unique_ptr<PendingSave> m_runningSave;
    std::unique_ptr<PendingSave> m_nextSave;
    /// Bumped by every new log-in, so answers of an abandoned chain are ignored.
    quint64 m_generation = 0;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
