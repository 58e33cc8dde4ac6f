#include "core/DatabaseController.h"

#include "core/BackupStorage.h"
#include "core/DatabaseInfoHelper.h"
#include "core/FileFunctions.h"
#include "core/FilesHelper.h"
#include "core/IRemoteStorage.h"
#include "core/RecentFileManager.h"
#include "core/RemoteStorageManager.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "core/StatusManager.h"
#include "core/shared/CommonException.h"
#include "core/shared/FileFormats.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/RightsHelper.h"
#include "platform/AppPaths.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"
#include "platform/Presenter.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

namespace keskor {

namespace {

UiText key(const char* k) {
    return UiText::key(QString::fromLatin1(k));
}

/// Locations whose database also lives on a remote store.
bool uploads(Location location) {
    return location == Location::protectedDevice || Locations::isCloud(location);
}

Credentials credentialsFrom(const CredentialsAnswer& answer, const CredentialsRequest& request) {
    std::optional<Key256> external;
    if (answer.keyFilePath) {
        external = KeyHelper::readExternalKey(*answer.keyFilePath);
    }
    return Credentials(request.askPassword ? std::optional<QString>(answer.password) : std::nullopt,
                       external);
}

} // namespace

DatabaseController::DatabaseController(Dependencies deps)
    : m_d(std::move(deps)), m_validator(m_d.strictAccountRules, m_d.quality) {}

QString DatabaseController::workingCopyPath(const DatabaseInfo& info) const {
    FileFunctions::workingFolder(m_d.paths, info.location, info.path, true);
    return FileFunctions::databaseFile(m_d.paths, info);
}

void DatabaseController::openWithCredentials(const DatabaseInfo& info,
                                             const Credentials& credentials,
                                             std::shared_ptr<RemoteFileInfo> remoteFile,
                                             OpenMode mode) {
    // The header tells what the key derivation needs; the keyed read then checks everything.
    const PassFile header = FileFunctions::readDatabase(m_d.paths, info, nullptr, true);
    const Key256 key = m_d.session.keyHelper.keyFromCredentials(header, credentials);
    PassFile loaded = FileFunctions::readDatabase(m_d.paths, info, &key, false);

    m_d.presenter.showMainWindow();
    m_d.session.open(info, std::move(loaded), credentials, std::move(remoteFile));
    m_d.notifications.post(NotificationNames::SetLocationBar);
    if (mode == OpenMode::readOnly) {
        return;
    }
    m_d.settings.setHasToOpenLastDb(true);
    if (m_d.settings.saveRecentFiles()) {
        m_d.recent.addRecentFile(info);
    }
    sessionBackup(true);
}

void DatabaseController::openDownloaded(const DatabaseInfo& info,
                                        IEntrySyncStorage::OpenedDatabase opened,
                                        std::shared_ptr<RemoteFileInfo> remoteFile) {
    m_d.presenter.showMainWindow();
    m_d.session.open(info, std::move(opened.file), std::move(opened.credentials),
                     std::move(remoteFile));
    m_d.notifications.post(NotificationNames::SetLocationBar);
    sessionBackup(true);
}

bool DatabaseController::openDatabase(const DatabaseInfo& info, bool automatic,
                                      std::shared_ptr<RemoteFileInfo> remoteFile, OpenMode mode) {
    try {
        if (!FilesHelper::isSupported(info.name)) {
            throw CommonException(QStringLiteral("Unsupported file format"));
        }
        if (!QFileInfo(FileFunctions::databaseFile(m_d.paths, info)).isFile()) {
            m_d.presenter.alert(AlertStyle::warning, key("dialog_error"),
                                key("error_file_not_found"), {});
            return false;
        }
        const PassFile header = FileFunctions::readDatabase(m_d.paths, info, nullptr, true);
        CredentialsRequest request;
        request.databaseName = QFileInfo(FileFunctions::databaseFile(m_d.paths, info)).fileName();
        request.hint = header.hint.value_or(QString());
        request.askPassword = header.authType() != PassFile::AuthenticationType::KeyFile;
        request.askKeyFile = header.authType() != PassFile::AuthenticationType::Password;
        bool opened = false;
        request.validate = [&](const CredentialsAnswer& answer) -> std::optional<UiText> {
            try {
                openWithCredentials(info, credentialsFrom(answer, request), remoteFile, mode);
                opened = true;
                return std::nullopt;
            } catch (const CommonException& e) {
                return UiText::plain(e.message());
            }
        };
        const std::optional<CredentialsAnswer> answer = m_d.presenter.askCredentials(request);
        if (!answer || !opened) {
            if (automatic) {
                m_d.settings.setHasToOpenLastDb(false);
            }
            return false;
        }
        return true;
    } catch (const CommonException& e) {
        m_d.presenter.alert(AlertStyle::warning, key("dialog_error"), UiText::plain(e.message()),
                            {});
        return false;
    }
}

void DatabaseController::openRemoteFile(std::shared_ptr<RemoteFileInfo> file, Location location) {
    if (!file) {
        return;
    }
    m_d.presenter.showBusy(key("file_downloading_message"));
    IRemoteStorage* storage = m_d.remote.storage(location);
    if (storage == nullptr) {
        m_d.presenter.hideBusy();
        return;
    }
    Presenter* presenter = &m_d.presenter;
    storage->downloadFile(
        file,
        [this, file, location, storage] {
            m_d.presenter.hideBusy();
            if (auto* sync = dynamic_cast<IEntrySyncStorage*>(storage)) {
                if (std::optional<IEntrySyncStorage::OpenedDatabase> opened =
                        sync->takeDownloadedDatabase()) {
                    openDownloaded(DatabaseInfo{file->name, QString(), location, false},
                                   std::move(*opened), file);
                    return;
                }
            }
            // The download wrote the file under its name into the location's working folder.
            openDatabase(DatabaseInfo{file->name, QString(), location, false}, false, file);
        },
        [presenter](const QString& message) {
            presenter->hideBusy();
            presenter->alert(AlertStyle::warning, key("dialog_error"), UiText::plain(message), {});
        });
}

bool DatabaseController::createDatabase(const CreateDatabaseValidator::Input& input,
                                        CreateFileModel model) {
    if (const std::optional<QString> failure = m_validator.firstFailure(input)) {
        m_d.presenter.alert(AlertStyle::warning, key("dialog_warning"), UiText::key(*failure), {});
        return false;
    }
    if (m_validator.needsWeakPasswordQuestion(input) &&
        m_d.presenter.alert(AlertStyle::warning, key("password_policy_warning"),
                            key("password_policy_too_weak"),
                            {key("dialog_yes"), key("dialog_no")}) != 0) {
        return false;
    }
    if (!FilesHelper::isSupported(model.name)) {
        model.name = FileFormats::createFileName(model.name, QStringLiteral(".pswe"));
    }
    try {
        PassFile file = PassFile::createNewFile(
            model.fileType, model.hint, model.credentials.type(), model.isAdvanceEncryption);
        file.comments = model.description;
        if (!model.kdfMemoryAndPasses) {
            const KdfCalibration::Cost cost = newDatabaseKdf(model.isAdvanceEncryption);
            model.kdfMemoryAndPasses = {cost.memoryBytes, cost.passes};
        }
        file.setKdfParameters(model.kdfMemoryAndPasses->first, model.kdfMemoryAndPasses->second);
        const Credentials credentials(model.credentials);
        const Key256 key256 = m_d.session.keyHelper.keyFromCredentials(file, credentials);
        const DatabaseInfo target{model.name,
                                  model.location == Location::localDevice ? model.path : QString(),
                                  model.location, false};
        FileFunctions::writeDatabase(workingCopyPath(target), key256, file);
        openWithCredentials(target, credentials,
                            uploads(target.location) ? std::make_shared<RemoteFileInfo>(target.name)
                                                     : nullptr);
        if (uploads(target.location)) {
            m_d.presenter.showBusy(key("file_creating_message"));
            uploadCurrentFile();
            m_d.presenter.hideBusy();
        }
        return true;
    } catch (const CommonException& e) {
        m_d.presenter.alert(AlertStyle::warning, key("dialog_error"), UiText::plain(e.message()),
                            {});
        return false;
    }
}

KdfCalibration::Cost DatabaseController::newDatabaseKdf(bool advanced) {
    if (!m_kdfProbe) {
        m_kdfProbe = KdfCalibration::probeSeconds();
    }
    return KdfCalibration::scaled(*m_kdfProbe, advanced);
}

QString DatabaseController::kdfDescription(const KdfCalibration::Cost& cost) const {
    return m_d.text(QStringLiteral("create_db_kdf"))
        .arg(cost.memoryBytes / KdfCalibration::kMiB)
        .arg(cost.passes);
}

void DatabaseController::writeCurrentFile() {
    SessionManager& s = m_d.session;
    if (!s.currentPassFile || !s.currentDBInfo) {
        throw CommonException(QStringLiteral("No database is open."));
    }
    const Key256 key256 = s.keyHelper.keyFromCredentials(*s.currentPassFile, s.credentials());
    FileFunctions::writeDatabase(workingCopyPath(*s.currentDBInfo), key256, *s.currentPassFile);
    s.currentPassFile->setModified(false);
}

bool DatabaseController::saveSession(bool isExplicit) {
    sessionBackup(false);
    SessionManager& s = m_d.session;
    if (!s.isDatabaseOpen()) {
        return true;
    }
    const Location location = s.currentDBInfo->location;
    // Enterprise edits reach the server with every save, as they do in the other clients.
    if (!m_d.settings.isAutoSaving() && !isExplicit && location != Location::enterprise) {
        return true;
    }
    try {
        if (location == Location::backupDevice) {
            return true;
        }
        if (location == Location::enterprise) {
            if (m_d.settings.enterpriseLocalCopy()) {
                writeCurrentFile();
            }
            uploadCurrentFile();
            return true;
        }
        writeCurrentFile();
    } catch (const CommonException& e) {
        m_d.presenter.alert(AlertStyle::warning, key("dialog_error"), UiText::plain(e.message()),
                            {});
        return false;
    }
    if (uploads(location)) {
        uploadCurrentFile();
    }
    return true;
}

void DatabaseController::uploadCurrentFile() {
    IRemoteStorage* storage = m_d.remote.storage(m_d.session.currentDBInfo->location);
    if (storage == nullptr) {
        return;
    }
    m_d.session.uploadingStatus = true;
    m_d.status.updateStatus(StatusBarItem::Main, m_d.text(QStringLiteral("save_change_to_cloud")),
                            true);
    SessionManager* session = &m_d.session;
    StatusManager* status = &m_d.status;
    Presenter* presenter = &m_d.presenter;
    const TextLookup text = m_d.text;
    const auto finished = [session, status, text] {
        status->updateStatus(StatusBarItem::Main, text(QStringLiteral("app_name")), false);
        session->uploadingStatus = false;
    };
    auto failed = [finished, presenter](const QString& message) {
        presenter->alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                         message.startsWith(QLatin1String("enterprise_error_"))
                             ? UiText::key(message)
                             : UiText::plain(message),
                         {});
        finished();
    };
    if (auto* sync = dynamic_cast<IEntrySyncStorage*>(storage)) {
        sync->saveEntryChanges(*m_d.session.currentPassFile, finished, failed);
        return;
    }
    storage->saveCurrentFile(finished, failed);
}

void DatabaseController::sessionBackup(bool opening) {
    SessionManager& s = m_d.session;
    if (!s.isDatabaseOpen()) {
        return;
    }
    if (opening ? !m_d.settings.backupOnOpening() : !m_d.settings.backupOnSaving()) {
        return;
    }
    try {
        const Key256 key = s.keyHelper.keyFromCredentials(*s.currentPassFile, s.credentials());
        const QString base = BackupStorage::backupBaseName(s.currentDBInfo->name);
        // The window is usable while the opening backup is written from a copy.
        if (opening) {
            m_d.backups.startBackup(base, key, *s.currentPassFile);
        } else {
            m_d.backups.createBackup(base, key, *s.currentPassFile);
        }
    } catch (const CommonException& e) {
        qWarning().noquote() << "backup failed:" << e.message();
    }
}

bool DatabaseController::saveAs() {
    SessionManager& s = m_d.session;
    if (!s.isDatabaseOpen()) {
        return false;
    }
    if (s.currentDBInfo->location == Location::enterprise &&
        !RightsHelper::checkDBSaveAsRights(*s.currentPassFile)) {
        m_d.presenter.alert(AlertStyle::warning, key("dialog_warning"),
                            key("enterprise_save_local_not_allowed"), {});
        return false;
    }
    const std::optional<QString> target = m_d.presenter.chooseFileToSave(
        key("save_as"), s.currentDBInfo->name, FilesHelper::saveExtensions());
    if (!target) {
        return false;
    }
    try {
        const Key256 key256 = s.keyHelper.keyFromCredentials(*s.currentPassFile, s.credentials());
        PassFile copy = *s.currentPassFile;
        FileFunctions::writeDatabase(*target, key256, copy);
        return true;
    } catch (const CommonException& e) {
        m_d.presenter.alert(AlertStyle::warning, key("dialog_error"), UiText::plain(e.message()),
                            {});
        return false;
    }
}

bool DatabaseController::confirmDiscardOrSave() {
    const int choice = m_d.presenter.alert(
        AlertStyle::warning, UiText::plain(QStringLiteral("Do you want to save the changes?")), {},
        {UiText::plain(QStringLiteral("Save")), UiText::plain(QStringLiteral("Don't save")),
         key("dialog_cancel")});
    if (choice == 1) {
        return true;
    }
    if (choice != 0) {
        return false;
    }
    if (saveSession(true)) {
        return true;
    }
    return m_d.presenter.alert(
               AlertStyle::warning,
               UiText::plain(QStringLiteral("Could not save changes while quitting. Quit anyway?")),
               {},
               {UiText::plain(QStringLiteral("Quit anyway")),
                UiText::plain(QStringLiteral("Cancel"))}) == 0;
}

bool DatabaseController::closeDatabase() {
    SessionManager& s = m_d.session;
    const bool enterprise = s.currentPassFile && s.currentPassFile->isEnterprise();
    if (!m_d.settings.isAutoSaving() && !enterprise) {
        if (!confirmDiscardOrSave()) {
            return false;
        }
    } else if (m_d.settings.isAutoSaving()) {
        saveSession(false);
    }
    m_d.notifications.post(NotificationNames::SetLocationBar);
    s.close();
    m_d.presenter.showStartView();
    return true;
}

void DatabaseController::cleanUpAtTermination(std::function<void(bool ok)> done) {
    const AppPaths paths = m_d.paths;
    QThreadPool::globalInstance()->start([paths, done = std::move(done)] {
        const bool ok = FileFunctions::emptyCloudFolders(paths);
        if (!ok) {
            qWarning() << "could not empty the cloud working folders";
        }
        if (done) {
            done(ok);
        }
    });
}

} // namespace keskor
