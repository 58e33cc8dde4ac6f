#pragma once
// The database workflows: open, create, write, the session save and backup, save under a new
// name, close, and the clean-up of the cloud working copies at the end of a run. They talk to
// the user only through the presenter, so the desktop window, the CLI and the tests drive the
// same code. Everything runs on the main thread, uploads complete there too; only the opening
// backup is written on a worker thread.

#include "core/CloudDBManagerViewControllerDelegate.h"
#include "core/CreateDatabaseValidator.h"
#include "core/CreateFileModel.h"
#include "core/DatabaseInfo.h"
#include "core/IEntrySyncStorage.h"
#include "core/RemoteFileInfo.h"
#include "core/shared/Credentials.h"
#include "core/shared/KdfCalibration.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace keskor {

class AppPaths;
class NotificationCenter;
class PassFile;
class Presenter;
class RecentFileManager;
class RemoteStorageManager;
class SessionManager;
class SettingManager;
class StatusManager;
class BackupStorage;

class DatabaseController : public CloudDBManagerViewControllerDelegate {
public:
    using TextLookup = std::function<QString(const QString& key)>;

    struct Dependencies {
        const AppPaths& paths;
        SessionManager& session;
        SettingManager& settings;
        RecentFileManager& recent;
        RemoteStorageManager& remote;
        StatusManager& status;
        NotificationCenter& notifications;
        Presenter& presenter;
        TextLookup text;
        /// Rates a password for the create checks (the generator's entropy in bits).
        std::function<int(const QString&)> quality;
        /// The deployment flag selecting the strict-account master-password rules.
        bool strictAccountRules = false;
        BackupStorage& backups;
    };

    /// How a database is opened. A read-only open leaves the profile as it was: no opening
    /// backup, no recent-list entry and no reopen flag, for callers that only read.
    enum class OpenMode { readWrite, readOnly };

    explicit DatabaseController(Dependencies deps);

    /// Asks for the credentials of `info` and opens it; wrong credentials or a damaged file
    /// keep the prompt open with the error and leave the session as it was. `automatic` marks
    /// the reopen at start-up: cancelling it stops the next start from trying again.
    bool openDatabase(const DatabaseInfo& info, bool automatic = false,
                      std::shared_ptr<RemoteFileInfo> remoteFile = nullptr,
                      OpenMode mode = OpenMode::readWrite);
    /// A file chosen in the remote file browser: fetched into the working folder of its
    /// location, then opened as above. Does nothing for a location without a store.
    void openRemoteFile(std::shared_ptr<RemoteFileInfo> file, Location location) override;
    /// Opens with given credentials, without asking; throws CommonException and changes
    /// nothing on failure.
    void openWithCredentials(const DatabaseInfo& info, const Credentials& credentials,
                             std::shared_ptr<RemoteFileInfo> remoteFile = nullptr,
                             OpenMode mode = OpenMode::readWrite);

    /// Opens a database a storage loaded straight into memory (the enterprise server): no
    /// file to read and no credentials to ask for; saves go back entry by entry.
    void openDownloaded(const DatabaseInfo& info, IEntrySyncStorage::OpenedDatabase opened,
                        std::shared_ptr<RemoteFileInfo> remoteFile);

    /// The create checks and, when they pass, the new database written to its location and
    /// opened. `input` carries the dialog's texts for the checks.
    /// Without explicit key-derivation parameters in `model`, the database gets those measured
    /// on this machine (newDatabaseKdf).
    bool createDatabase(const CreateDatabaseValidator::Input& input, CreateFileModel model);
    /// The key-derivation cost of a new database on this machine; the probe behind it runs
    /// once per controller (a tenth of a second or so).
    KdfCalibration::Cost newDatabaseKdf(bool advanced);
    /// The line the create dialog and the CLI show for a cost.
    QString kdfDescription(const KdfCalibration::Cost& cost) const;

    /// Writes the open database to its working copy in the form of its type.
    void writeCurrentFile();
    /// After every change (explicit: the save command, the quit and close questions). False
    /// when the write failed; an upload failure is reported to the user and the next save
    /// uploads again. An enterprise database sends its changed entries on every save.
    bool saveSession(bool isExplicit);
    /// A backup of the open database when the settings ask for it; failures are logged only.
    /// The opening backup is written on a worker thread from a copy, the saving one at once.
    void sessionBackup(bool opening);
    /// Writes the open database to a file the user chooses.
    bool saveAs();
    /// The close command: asks about unsaved changes first; false when the user kept it open.
    bool closeDatabase();
    /// Empties the cloud working folders on a background thread; `done` runs there after.
    void cleanUpAtTermination(std::function<void(bool ok)> done = {});

    /// The local file a database is read from and written to (its working copy).
    QString workingCopyPath(const DatabaseInfo& info) const;

    /// The quit question of an open session ("Do you want to save the changes?"); true when
    /// the program may end.
    bool confirmDiscardOrSave();

private:
    void uploadCurrentFile();

    Dependencies m_d;
    CreateDatabaseValidator m_validator;
    std::optional<double> m_kdfProbe;
};

} // namespace keskor
