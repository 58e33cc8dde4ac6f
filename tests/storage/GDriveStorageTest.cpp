#include "storage/gdrive/GDriveStorage.h"

#include "storage/WorkingCopy.h"
#include "testing/FakeGDriveServer.h"
#include "tests/storage/CloudStorageFixture.h"

namespace keskor {
namespace {

using testing::FakeGDriveServer;

class GDriveStorageTest : public test::CloudStorageFixture<GDriveStorage> {
protected:
    GDriveStorageTest() : CloudStorageFixture(Location::gDrive) {}
    void SetUp() override {
        ASSERT_TRUE(drive.listen());
        deployment.clientId = QStringLiteral("123456789012-abc.apps.example.com");
        deployment.clientSecret = QStringLiteral("secret");
        deployment.authorizeUrl = drive.authorizeUrl();
        deployment.tokenUrl = drive.tokenUrl();
        deployment.apiHost = drive.baseUrl();
        restart();
    }
    void restart() {
        storage = std::make_unique<GDriveStorage>(
            GDriveStorage::Services{paths, session, keychain, http, &key, browserOpener()},
            deployment);
    }
    QString save(const QString& path, const QByteArray& bytes) {
        session.remoteFileInfo = std::make_shared<RemoteFileInfo>(path);
        if (WorkingCopy::isPlainName(session.remoteFileInfo->name)) {
            writeCopy(session.remoteFileInfo->name, bytes);
        }
        return CloudStorageFixture::save();
    }

    FakeGDriveServer drive;
    Deployment::GDrive deployment;
};

TEST_F(GDriveStorageTest, SignInSaveReplaceDownloadDeleteAndSignInSurvivesRestart) {
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(signIn(), QString());
    EXPECT_EQ(keychain.get(GDriveStorage::kEmailKey), drive.email());
    EXPECT_TRUE(list().empty());

    // Quotes, "+", "&" and slashes must survive the query language and the URL; the working
    // copy is the last component.
    const QString name = QStringLiteral("Fam/'ily' + & ü 😀.pswe");
    const QString copy = QStringLiteral("'ily' + & ü 😀.pswe");
    ASSERT_EQ(save(name, "first"), QString());
    const Files files = list();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->path, name);
    EXPECT_EQ(files[0]->size, 5);

    // A second file of that name put there by hand; saving, with a token expired meanwhile,
    // leaves one file with the new content.
    drive.add(name, drive.named(name).first().parents.first(), "stray");
    drive.oauth().expireAccessTokens();
    ASSERT_EQ(save(name, "second"), QString());
    ASSERT_EQ(drive.named(name).size(), 1);
    EXPECT_EQ(drive.named(name).first().content, QByteArray("second"));
    EXPECT_EQ(drive.oauth().refreshes(), 1);

    QFile::remove(copyPath(copy));
    ASSERT_EQ(download(files[0]), QString());
    EXPECT_EQ(readCopy(copy), QByteArray("second"));

    restart();
    EXPECT_TRUE(storage->isLoggedIn());
    ASSERT_EQ(signIn(), QString());
    EXPECT_EQ(browserOpens, 1) << "the stored authorisation signs in without the browser";
    ASSERT_EQ(remove(files), QString());
    EXPECT_TRUE(drive.named(name).isEmpty());
    EXPECT_EQ(download(files[0]), QStringLiteral("no_remote_file"));

    storage->logout();
    EXPECT_FALSE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.items().isEmpty());
}

TEST_F(GDriveStorageTest, OnlyTheUsersLiveFolderIsUsedAndLongListingsArriveWhole) {
    drive.add(QStringLiteral("Keskor"), QStringLiteral("root"), {}, true, {}, true);
    drive.add(QStringLiteral("Keskor"), QStringLiteral("root"), {}, true,
              QStringLiteral("other@example.com"));
    ASSERT_EQ(signIn(), QString());
    ASSERT_TRUE(list().empty()) << "a trashed or foreign folder is not ours";
    const QString folder = drive.named(QStringLiteral("Keskor")).last().id;
    drive.setPageSize(40);
    for (int i = 0; i < 130; ++i) {
        drive.add(QStringLiteral("db%1.pswd").arg(i), folder, "x");
    }
    drive.add(QStringLiteral("notes.txt"), folder); // listed: no extension filter
    drive.add(QStringLiteral("gone.pswd"), folder, {}, false, {}, true);
    drive.add(QStringLiteral("theirs.pswd"), folder, {}, false, QStringLiteral("x@example.com"));
    EXPECT_EQ(list().size(), 131u);
}

TEST_F(GDriveStorageTest, FaultsFailCleanlyAndLeaveBothCopies) {
    ASSERT_EQ(signIn(), QString());
    ASSERT_EQ(save(QStringLiteral("Family.pswe"), "remote"), QString());
    const auto file = list().front();
    writeCopy(file->name, "local");
    using Fault = FakeGDriveServer::DownloadFault;
    for (const Fault fault : {Fault::RedirectLoop, Fault::CutShort}) {
        drive.setDownloadFault(fault);
        EXPECT_NE(download(file), QString());
        EXPECT_EQ(readCopy(file->name), QByteArray("local"));
    }
    drive.setFailure(500);
    session.remoteFileInfo = file;
    EXPECT_NE(CloudStorageFixture::save(), QString());
    drive.setFailure(0);
    EXPECT_EQ(drive.named(file->name).first().content, QByteArray("remote"));

    const auto requests = drive.requests().size();
    for (const QString& bad : {QStringLiteral("a/.."), QStringLiteral("a/")}) {
        EXPECT_EQ(save(bad, "x"), QStringLiteral("error_unkown"));
    }
    EXPECT_EQ(drive.requests().size(), requests) << "a name that is no file name is not sent";

    // The folder deleted in another client: one save fails, the next makes a new folder.
    drive.remove(drive.named(QStringLiteral("Keskor")).first().id);
    EXPECT_NE(save(QStringLiteral("New.pswe"), "new"), QString());
    EXPECT_EQ(save(QStringLiteral("New.pswe"), "new"), QString());
    EXPECT_EQ(drive.named(QStringLiteral("Keskor")).size(), 1);
    // A refused refresh is the shared session's, checked with Dropbox and OneDrive.
}

} // namespace
} // namespace keskor
