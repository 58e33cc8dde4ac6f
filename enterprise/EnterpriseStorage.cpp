#include "enterprise/EnterpriseStorage.h"

#include "platform/MainThread.h"

namespace keskor {

namespace {

void notSupported(const IRemoteStorage::Failure& failure) {
    runOnMain([failure] { failure(QStringLiteral("Operation not supported")); });
}

} // namespace

EnterpriseStorage::EnterpriseStorage(DefaultsStore& defaults, Keychain& keychain,
                                     TCPClient::Options clientOptions)
    : m_defaults(defaults), m_keychain(keychain), m_clientOptions(clientOptions) {}

EnterpriseStorage::~EnterpriseStorage() = default;

void EnterpriseStorage::login(Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::handleRedirect(const QUrl&) {}
bool EnterpriseStorage::isLoggedIn() const {
    return m_client && m_client->isReady();
}
void EnterpriseStorage::logout() {}
void EnterpriseStorage::listFiles(std::function<void(FileList)>, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::downloadFile(std::shared_ptr<RemoteFileInfo>, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::saveCurrentFile(Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::deleteFiles(FileList, Success, Failure failure) {
    notSupported(failure);
}
std::optional<IEntrySyncStorage::OpenedDatabase> EnterpriseStorage::takeDownloadedDatabase() {
    return std::nullopt;
}
void EnterpriseStorage::saveEntryChanges(const PassFile&, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::login(const ServerCredentials&, bool, std::optional<ConnectionData2FA>,
                              Success, Failure failure) {
    notSupported(failure);
}
ServerCredentials EnterpriseStorage::storedCredentials() const {
    return {};
}
QString EnterpriseStorage::deviceToken() {
    return {};
}
ConnectionData2FA EnterpriseStorage::twoFactorData(const std::optional<QString>& code, bool trust) {
    return ConnectionData2FA(deviceToken(), code, QString(), trust);
}
void EnterpriseStorage::changePassword(const QString&, const QString&, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::activate2FA(const QString&, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::confirm2FA(const QString&, bool, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::addItem(const PassFile&, const Info2Item&, const QString&, Success,
                                Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::updateItem(const PassFile&, const Info2Item&, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::deleteItem(const PassFile&, const QString&, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::moveItem(const PassFile&, const QString&, const QString&, Success,
                                 Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::addFolder(const PassFile&, const Info2Item&, const QString&, Success,
                                  Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::updateFolder(const PassFile&, const Info2Item&, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::deleteFolder(const PassFile&, const QString&, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::moveFolder(const PassFile&, const QString&, const QString&, Success,
                                   Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::grantAccess(const PassFile&, const QString&, const AccessPermission&,
                                    Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::revokeAccess(const PassFile&, const QString&, Success, Failure failure) {
    notSupported(failure);
}
void EnterpriseStorage::requestSealedAccess(const PassFile&, const QString&, const QString&,
                                            Success, Failure failure) {
    notSupported(failure);
}
QList<QVariantMap> EnterpriseStorage::serverUsers() const {
    return {};
}
bool EnterpriseStorage::isPinningEnabled() const {
    return true;
}
void EnterpriseStorage::forgetPinnedCertificate(const QString&) {}

} // namespace keskor
