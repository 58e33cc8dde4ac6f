#include "core/DatabaseController.h"

#include "core/FileFunctions.h"
#include "core/shared/KeyHelper.h"
#include "platform/NotificationNames.h"
#include "testing/RecordingRemoteStorage.h"
#include "testing/SampleDatabase.h"
#include "tests/core/AppHarness.h"
#include "tests/support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSemaphore>
#include <QThreadPool>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::testing::RecordingRemoteStorage;
using keskor::testing::SampleDatabase;

namespace {

const QString kPassword = QStringLiteral("Correct-Horse-Battery-9");

class WorkflowTest : public ::testing::Test, protected keskor::test::AppHarness {
protected:
    RecordingRemoteStorage* dropbox = nullptr;
    bool weakRatings = false;
    // Outlives the application, which waits for the backups written on it.
    QThreadPool backupPool;
    std::unique_ptr<AppDelegate> app;

    void SetUp() override { makeApp(); }

    void makeApp() {
        app = std::make_unique<AppDelegate>(services(
            [this](Location location, SessionManager&) -> std::unique_ptr<IRemoteStorage> {
                auto storage = std::make_unique<RecordingRemoteStorage>();
                if (location == Location::dropbox) {
                    dropbox = storage.get();
                }
                return storage;
            },
            [](const QString& key) { return QLatin1Char('<') + key + QLatin1Char('>'); },
            [this](const QString& password) {
                return weakRatings ? 10 : static_cast<int>(password.size()) * 4;
            },
            &backupPool));
    }
    DatabaseController& db() { return app->databases(); }
    SessionManager& session() { return app->mainManager().sessionManager; }

    /// The full sample as a local, not an enterprise, database.
    static PassFile sample() {
        PassFile file = SampleDatabase::full();
        file.krServer.reset();
        return file;
    }
    QString lastCall() const {
        return presenter.transcript().value(presenter.transcript().size() - 1);
    }
    void writeSample(const DatabaseInfo& info, PassFile file = sample()) {
        KeyHelper keys;
        const Key256 key = keys.keyFromCredentials(file, Credentials(kPassword, std::nullopt));
        FileFunctions::workingFolder(paths, info.location, info.path, true);
        FileFunctions::writeDatabase(FileFunctions::databaseFile(paths, info), key, file);
    }
    DatabaseInfo local(const QString& name = QStringLiteral("family.pswd")) {
        return {name, dir.path(), Location::localDevice, false};
    }
    /// Writes the sample where `info` points and opens it with the prompt.
    void openLocal(const DatabaseInfo& info) {
        writeSample(info);
        presenter.answerCredentials({kPassword, std::nullopt});
        ASSERT_TRUE(db().openDatabase(info));
        app->backups().waitForBackups();
        presenter.clearCalls();
    }
    /// The new-database dialog's answers for `name` in the temporary folder.
    std::pair<CreateDatabaseValidator::Input, CreateFileModel> createAnswers(const QString& name) {
        CreateDatabaseValidator::Input input;
        input.name = name;
        input.password = QStringLiteral("Abcdefghijklm12");
        input.confirmation = input.password;
        CreateFileModel model;
        model.path = dir.path();
        model.name = name;
        model.credentials =
            FileCredentials(input.password, std::nullopt, PassFile::AuthenticationType::Password);
        model.kdfMemoryAndPasses = {SampleDatabase::kFastKdfMemory, SampleDatabase::kFastKdfPasses};
        return {input, model};
    }
    QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(WorkflowTest, OpeningFillsTheSessionRemembersItAndBacksUpWithoutWaiting) {
    const DatabaseInfo info = local();
    writeSample(info);
    defaults.setBool(QStringLiteral("setting_has_to_open_last_db"), false);
    // While the pool's one thread is held, no backup can be written (released on any exit).
    backupPool.setMaxThreadCount(1);
    QSemaphore held;
    const auto release = qScopeGuard([&held] { held.release(); });
    backupPool.start([&held] { held.acquire(); });
    presenter.answerCredentials({QStringLiteral("wrong"), std::nullopt});
    presenter.answerCredentials({kPassword, std::nullopt});
    ASSERT_TRUE(db().openDatabase(info));
    EXPECT_TRUE(app->backups().backups().isEmpty()) << "the open did not wait for the backup";
    ASSERT_TRUE(session().isDatabaseOpen());
    EXPECT_EQ(*session().currentDBInfo, info);
    EXPECT_EQ(session().currentPassFile->itemCount(), SampleDatabase::full().itemCount());
    EXPECT_EQ(app->mainManager().recentFilesManager.recentFiles().value(0), info);
    EXPECT_EQ(defaults.boolValue(QStringLiteral("setting_has_to_open_last_db")), true);
    EXPECT_TRUE(
        presenter.transcript().join(QLatin1Char('\n')).contains(QStringLiteral("credentials")));

    // Quit at once: the backup is still written, from the database as it was opened, and the
    // cloud working copies go.
    const QString cloud = FileFunctions::workingFolder(paths, Location::gDrive, QString(), true);
    dir.write(QStringLiteral("profile/documents/GDrive/copy.pswe"), "copy");
    ASSERT_FALSE(QDir(cloud).isEmpty());
    session().close();
    held.release();
    app->applicationWillTerminate();
    EXPECT_TRUE(QDir(cloud).isEmpty());
    const QList<BackupFileInfo> written = app->backups().backups();
    ASSERT_EQ(written.size(), 1) << "backup on opening is on by default";
    const DatabaseInfo backup = app->backups().openBackup(written.front());
    const PassFile header = FileFunctions::readDatabase(paths, backup, nullptr, true);
    const Key256 key = KeyHelper().keyFromCredentials(header, Credentials(kPassword, std::nullopt));
    EXPECT_TRUE(FileFunctions::readDatabase(paths, backup, &key, false)
                    .sameContent(FileFunctions::readDatabase(paths, info, &key, false)));
}

TEST_F(WorkflowTest, FailedOpensAreReportedAndLeaveTheOpenDatabaseAsItWas) {
    openLocal(local());
    const PassFile before = *session().currentPassFile;
    const DatabaseInfo broken = local(QStringLiteral("other.pswd"));
    dir.write(QStringLiteral("other.pswd"), "KESKOR-DB/1\n{not json\n");
    for (const DatabaseInfo& info :
         {broken, local(QStringLiteral("gone.pswd")), local(QStringLiteral("notes.txt"))}) {
        presenter.answerAlert(0);
        EXPECT_FALSE(db().openDatabase(info)) << info.name.toStdString();
    }
    const QStringList t = presenter.transcript();
    ASSERT_EQ(t.size(), 3);
    EXPECT_TRUE(t[0].contains(QStringLiteral("dialog_error"))) << t[0].toStdString();
    EXPECT_TRUE(t[1].contains(QStringLiteral("error_file_not_found"))) << t[1].toStdString();
    EXPECT_TRUE(t[2].contains(QStringLiteral("Unsupported file format"))) << t[2].toStdString();
    EXPECT_EQ(session().currentDBInfo->name, QStringLiteral("family.pswd"));
    EXPECT_TRUE(session().currentPassFile->sameContent(before));
}

TEST_F(WorkflowTest, CancellingTheAutomaticReopenStopsTheNextStartFromTrying) {
    const DatabaseInfo info = local();
    writeSample(info);
    app->mainManager().recentFilesManager.addRecentFile(info);
    presenter.cancelCredentials();
    app->mainWindowDidLoad();
    EXPECT_FALSE(session().isDatabaseOpen());
    EXPECT_EQ(defaults.boolValue(QStringLiteral("setting_has_to_open_last_db")), false);
    presenter.clearCalls();
    makeApp();
    app->mainWindowDidLoad();
    EXPECT_TRUE(presenter.calls().isEmpty()) << "nothing is asked on the next start";
}

TEST_F(WorkflowTest, TheBridgeStartsOnThePortSettingAndMovesWithTheSettingsScreen) {
    for (const int bad : {-1, 0, 65536}) {
        defaults.setInteger(QStringLiteral("setting_addon_websocket_port"), bad);
        app->applicationDidFinishLaunching();
        EXPECT_EQ(app->mainManager().websocketManager->port(), 0) << bad;
        makeApp();
    }
    defaults.setInteger(QStringLiteral("setting_addon_websocket_port"), 31337);
    app->applicationDidFinishLaunching();
    EXPECT_EQ(app->mainManager().websocketManager->port(), 31337);
    SettingsValues values = app->settings().load();
    values.portText = QStringLiteral("31338");
    EXPECT_TRUE(app->settings().confirm(values).portChanged);
    EXPECT_EQ(app->mainManager().websocketManager->port(), 31338);
}

TEST_F(WorkflowTest, SaveWithAutoSavingOffBacksUpButWritesOnlyWhenExplicit) {
    openLocal(local());
    defaults.setBool(QStringLiteral("setting_isAutoSaving"), false);
    defaults.setBool(QStringLiteral("setting_backup_on_saving"), true);
    const QString file = FileFunctions::databaseFile(paths, *session().currentDBInfo);
    const QByteArray before = bytesOf(file);
    session().currentPassFile->addItem(Info2Item::create(1, QStringLiteral("new")));
    const auto backupsBefore = app->backups().backups().size();
    EXPECT_TRUE(db().saveSession(false));
    EXPECT_EQ(app->backups().backups().size(), backupsBefore + 1);
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_TRUE(db().saveSession(true));
    EXPECT_NE(bytesOf(file), before);
    EXPECT_EQ(session().keyHelper.kdfRuns(), 1) << "saving reuses the key of the open";
}

TEST_F(WorkflowTest, BackupsAndServerDatabasesWithoutTheLocalCopySettingAreNotWritten) {
    defaults.setBool(QStringLiteral("setting_enterprise_save_local_copy"), false);
    for (const Location location : {Location::backupDevice, Location::enterprise}) {
        const DatabaseInfo info{QStringLiteral("held.pswe"), QString(), location, false};
        openLocal(info);
        session().currentPassFile->krServer = QStringLiteral("server.example");
        const QByteArray before = bytesOf(FileFunctions::databaseFile(paths, info));
        session().currentPassFile->addItem(Info2Item::create(1, QStringLiteral("x")));
        EXPECT_TRUE(db().saveSession(true));
        EXPECT_EQ(bytesOf(FileFunctions::databaseFile(paths, info)), before)
            << static_cast<int>(location);
    }
}

TEST_F(WorkflowTest, CloudSaveUploadsAndAFailedUploadIsRetriedByTheNextSave) {
    const DatabaseInfo info{QStringLiteral("cloud.pswe"), QStringLiteral("/Apps"),
                            Location::dropbox, false};
    writeSample(info);
    presenter.answerCredentials({kPassword, std::nullopt});
    ASSERT_TRUE(db().openDatabase(
        info, false, std::make_shared<RemoteFileInfo>(QStringLiteral("/Apps/cloud.pswe"))));
    ASSERT_NE(app->mainManager().remoteStorageManager.storage(Location::dropbox), nullptr);
    ASSERT_NE(dropbox, nullptr);
    dropbox->holdUploads = true;
    QList<QVariantMap> status;
    notifications.observe(NotificationNames::SetStatusBar,
                          [&](const QVariantMap& m) { status.append(m); });

    EXPECT_TRUE(db().saveSession(false));
    EXPECT_TRUE(session().uploadingStatus);
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0].value(QStringLiteral("Label")).toString(),
              QStringLiteral("<save_change_to_cloud>"));
    EXPECT_TRUE(status[0].value(QStringLiteral("ShowLoading")).toBool());
    EXPECT_EQ(status[0].value(QStringLiteral("StatusBarItem")).toInt(), 0) << "the main cell";
    presenter.answerAlert(0); // the failed upload is reported
    ASSERT_TRUE(dropbox->completeUpload(false, QStringLiteral("Dropbox is down")));
    EXPECT_FALSE(session().uploadingStatus);
    EXPECT_EQ(status.last().value(QStringLiteral("Label")).toString(),
              QStringLiteral("<app_name>"));
    EXPECT_TRUE(lastCall().contains(QStringLiteral("Dropbox is down")));
    EXPECT_TRUE(QFileInfo::exists(FileFunctions::databaseFile(paths, info)))
        << "the local copy stays";

    EXPECT_TRUE(db().saveSession(false));
    EXPECT_EQ(dropbox->uploads, 2) << "the next save uploads again";
    ASSERT_TRUE(dropbox->completeUpload(true));
    EXPECT_FALSE(session().uploadingStatus);
}

TEST_F(WorkflowTest, AFileFromTheCloudBrowserIsFetchedThenOpenedFromTheWorkingFolder) {
    auto remote = std::make_shared<RemoteFileInfo>(QStringLiteral("/Apps/Keskor/cloud.pswe"));
    // What the download leaves behind: the file under its name in the location's folder.
    writeSample({remote->name, QString(), Location::dropbox, false});
    ASSERT_NE(app->mainManager().remoteStorageManager.storage(Location::dropbox), nullptr);
    dropbox->failWith = QStringLiteral("Dropbox is down");
    presenter.answerAlert(0);
    db().openRemoteFile(remote, Location::dropbox);
    EXPECT_EQ(presenter.transcript(),
              QStringList({"busy file_downloading_message", "hideBusy",
                           "alert warning dialog_error/Dropbox is down []"}));
    EXPECT_FALSE(session().isDatabaseOpen());

    dropbox->failWith.clear();
    presenter.clearCalls();
    presenter.answerCredentials({kPassword, std::nullopt});
    db().openRemoteFile(remote, Location::dropbox);
    EXPECT_EQ(dropbox->calls.last(), QStringLiteral("downloadFile /Apps/Keskor/cloud.pswe"));
    ASSERT_TRUE(session().isDatabaseOpen());
    EXPECT_EQ(*session().currentDBInfo,
              (DatabaseInfo{QStringLiteral("cloud.pswe"), QString(), Location::dropbox, false}));
    EXPECT_EQ(session().remoteFileInfo, remote) << "saving uploads back to the same file";

    presenter.clearCalls();
    db().openRemoteFile(remote, Location::ftp);
    EXPECT_EQ(presenter.transcript(), QStringList({"busy file_downloading_message", "hideBusy"}))
        << "a location without a store does nothing more";
}

TEST_F(WorkflowTest, AFailedWriteIsReportedAndKeepsThePreviousFile) {
    openLocal(local());
    const QString file = FileFunctions::databaseFile(paths, *session().currentDBInfo);
    const QByteArray before = bytesOf(file);
    for (int i = 0; i < 3000; ++i) {
        session().currentPassFile->addItem(Info2Item::create(1, QStringLiteral("entry %1").arg(i)));
    }
    {
        keskor::test::FileSizeLimit limit(before.size() + 512);
        presenter.answerAlert(0);
        EXPECT_FALSE(db().saveSession(true));
    }
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_TRUE(lastCall().contains(QStringLiteral("dialog_error")));
}

TEST_F(WorkflowTest, CreateRunsTheChecksAsksAboutWeakPasswordsAndOpens) {
    auto [input, model] = createAnswers(QStringLiteral("Fresh"));
    const QString password = input.confirmation;
    input.confirmation = QStringLiteral("mismatch");
    presenter.answerAlert(0);
    EXPECT_FALSE(db().createDatabase(input, model));
    EXPECT_TRUE(lastCall().contains(QStringLiteral("error_password_mismatch")));

    input.confirmation = password;
    presenter.clearCalls();
    EXPECT_TRUE(db().createDatabase(input, model)); // a strong password is not questioned
    EXPECT_EQ(session().currentDBInfo->name, QStringLiteral("Fresh.pswe"));
    EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("Fresh.pswe"))));
    EXPECT_EQ(session().currentPassFile->fileType(), PassFile::FileType::Zip);
    EXPECT_TRUE(presenter.errors().isEmpty());
}

TEST_F(WorkflowTest, AWeakPasswordIsQuestionedAndNoStopsTheCreate) {
    weakRatings = true;
    auto [input, model] = createAnswers(QStringLiteral("weak.pswd"));
    model.fileType = PassFile::FileType::Plain;
    presenter.answerAlert(1); // "dialog_no"
    EXPECT_FALSE(db().createDatabase(input, model));
    EXPECT_TRUE(lastCall().contains(QStringLiteral("password_policy_too_weak")));
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("weak.pswd"))));
    presenter.answerAlert(0); // "dialog_yes"
    EXPECT_TRUE(db().createDatabase(input, model));
    EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("weak.pswd"))))
        << "a supported name keeps its extension";
}

TEST_F(WorkflowTest, QuitAsksDuringAnUploadAndToSaveAndOffersToQuitAnywayWhenSavingFails) {
    session().uploadingStatus = true;
    presenter.answerAlert(1);
    EXPECT_FALSE(app->applicationShouldTerminate());
    EXPECT_TRUE(lastCall().contains(QStringLiteral("uploading_in_progress")));
    presenter.answerAlert(0);
    EXPECT_TRUE(app->applicationShouldTerminate()) << "auto-saving is on by default";
    session().uploadingStatus = false;

    defaults.setBool(QStringLiteral("setting_isAutoSaving"), false);
    // No database open: the question still comes, and "Save" does nothing but quit.
    presenter.answerAlert(0);
    EXPECT_TRUE(app->applicationShouldTerminate());
    EXPECT_TRUE(lastCall().contains(QStringLiteral("Do you want to save the changes?")));

    openLocal(local());
    presenter.answerAlert(2); // cancel
    EXPECT_FALSE(app->applicationShouldTerminate());
    presenter.answerAlert(1); // don't save
    EXPECT_TRUE(app->applicationShouldTerminate());
    // A storage type this version cannot write makes the save fail.
    session().currentPassFile->setFileType(static_cast<PassFile::FileType>(2));
    presenter.answerAlert(0); // save, which fails
    presenter.answerAlert(0); // the write error is reported
    presenter.answerAlert(1); // then "Cancel"
    EXPECT_FALSE(app->applicationShouldTerminate());
    EXPECT_TRUE(lastCall().contains(QStringLiteral("Quit anyway?"))) << lastCall().toStdString();
}

TEST_F(WorkflowTest, CloseClearsTheSessionAndShowsTheStartView) {
    openLocal(local());
    EXPECT_TRUE(db().closeDatabase()) << "auto-saving on: no question";
    EXPECT_FALSE(session().isDatabaseOpen());
    EXPECT_TRUE(lastCall().contains(QStringLiteral("start"), Qt::CaseInsensitive))
        << lastCall().toStdString();
}

TEST_F(WorkflowTest, TerminationEmptiesTheCloudCopies) {
    const QString folder = FileFunctions::workingFolder(paths, Location::gDrive, QString(), true);
    QFile f(QDir(folder).filePath(QStringLiteral("copy.pswe")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    app->applicationWillTerminate();
    EXPECT_TRUE(QDir(folder).isEmpty());
}

} // namespace
