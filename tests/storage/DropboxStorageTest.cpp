#include "storage/dropbox/DropboxStorage.h"

#include "testing/FakeDropboxServer.h"
#include "tests/storage/CloudStorageFixture.h"

namespace keskor {
namespace {

using testing::FakeDropboxServer;

class DropboxStorageTest : public test::CloudStorageFixture<DropboxStorage> {
protected:
    DropboxStorageTest() : CloudStorageFixture(Location::dropbox) {}
    void SetUp() override {
        ASSERT_TRUE(dropbox.listen());
        deployment.appKey = QStringLiteral("appkey");
        deployment.authorizeUrl = dropbox.authorizeUrl();
        deployment.apiHost = dropbox.apiHost();
        deployment.contentHost = dropbox.contentHost();
        restart();
    }
    void restart() {
        storage = std::make_unique<DropboxStorage>(
            DropboxStorage::Services{paths, session, keychain, http, &key, browserOpener()},
            deployment);
    }
    QString save(const QString& name, const QByteArray& bytes) {
        writeCopy(name, bytes);
        session.remoteFileInfo = std::make_shared<RemoteFileInfo>(name);
        return CloudStorageFixture::save();
    }
    QByteArray remote(const QString& name) const {
        return dropbox.entries().value(QLatin1Char('/') + name.toLower()).content;
    }

    FakeDropboxServer dropbox;
    Deployment::Dropbox deployment;
};

TEST_F(DropboxStorageTest, SignInSaveReplaceDownloadDeleteSignOut) {
    dropbox.oauth().setDenied(true);
    EXPECT_EQ(signIn(), QStringLiteral("cloud_storage_auth_canceled"));
    EXPECT_FALSE(storage->isLoggedIn());
    dropbox.oauth().setDenied(false);
    ASSERT_EQ(signIn(), QString());
    EXPECT_TRUE(list().empty());

    // Beyond ASCII, the header argument must arrive escaped; the fake refuses raw bytes.
    const QString name = QStringLiteral("Fam \"ü\" 😀 + & #1.pswe");
    ASSERT_EQ(save(name, "first"), QString());
    dropbox.oauth().expireAccessTokens();
    ASSERT_EQ(save(name, "second"), QString());
    EXPECT_EQ(dropbox.oauth().refreshes(), 1);
    const Files files = list();
    ASSERT_EQ(files.size(), 1u) << "an existing file is replaced, not renamed";
    EXPECT_EQ(files[0]->name, name);
    EXPECT_EQ(files[0]->size, 6);
    EXPECT_EQ(remote(name), QByteArray("second"));

    QFile::remove(copyPath(name));
    ASSERT_EQ(download(files[0]), QString());
    EXPECT_EQ(readCopy(name), QByteArray("second"));

    restart();
    ASSERT_TRUE(storage->isLoggedIn()) << "the sign-in survives a restart";
    ASSERT_EQ(save(QStringLiteral("Other.pswd"), "x"), QString());
    ASSERT_EQ(remove(list()), QString());
    EXPECT_TRUE(dropbox.entries().isEmpty());

    storage->logout();
    EXPECT_FALSE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.items().isEmpty());
}

TEST_F(DropboxStorageTest, EveryFileOfEveryPageIsListedAndFoldersAreNot) {
    ASSERT_EQ(signIn(), QString());
    dropbox.setPageSize(40);
    for (int i = 0; i < 130; ++i) {
        dropbox.add(QStringLiteral("db%1.pswd").arg(i), "x");
    }
    dropbox.add(QStringLiteral("Keskor"), {}, true);
    dropbox.add(QStringLiteral("notes.txt"));
    EXPECT_EQ(list().size(), 131u);
}

TEST_F(DropboxStorageTest, FaultsFailCleanlyAndLeaveBothCopies) {
    ASSERT_EQ(signIn(), QString());
    dropbox.add(QStringLiteral("Family.pswe"), "remote");
    const auto file = std::make_shared<RemoteFileInfo>(QStringLiteral("Family.pswe"));
    writeCopy(file->name, "local");
    using Fault = FakeDropboxServer::DownloadFault;
    for (const Fault fault : {Fault::RedirectLoop, Fault::CutShort}) {
        dropbox.setDownloadFault(fault);
        EXPECT_NE(download(file), QString());
        EXPECT_EQ(readCopy(file->name), QByteArray("local"));
    }
    dropbox.setFailure(500);
    session.remoteFileInfo = file;
    EXPECT_NE(CloudStorageFixture::save(), QString());
    dropbox.setFailure(0);
    EXPECT_EQ(remote(file->name), QByteArray("remote"));

    EXPECT_NE(remove({std::make_shared<RemoteFileInfo>(QStringLiteral("gone.pswe"))}), QString());
    const auto requests = dropbox.requests().size();
    EXPECT_EQ(remove({std::make_shared<RemoteFileInfo>(QStringLiteral("a/.."))}),
              QStringLiteral("error_unkown"));
    EXPECT_EQ(dropbox.requests().size(), requests);

    dropbox.oauth().expireAccessTokens();
    dropbox.oauth().revokeRefreshTokens();
    QString failure;
    EXPECT_EQ(list(&failure).size(), 0u);
    EXPECT_EQ(failure, QStringLiteral("authorization failed"));
    EXPECT_FALSE(storage->isLoggedIn()) << "a refused refresh means signing in again";
}

} // namespace
} // namespace keskor
