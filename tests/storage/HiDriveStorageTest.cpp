#include "storage/hidrive/HiDriveStorage.h"

#include "testing/FakeHiDriveServer.h"
#include "tests/storage/CloudStorageFixture.h"

#include <QRegularExpression>

namespace keskor {
namespace {

using testing::FakeHiDriveServer;

class HiDriveStorageTest : public test::CloudStorageFixture<HiDriveStorage> {
protected:
    HiDriveStorageTest() : CloudStorageFixture(Location::hiDrive) {}
    void SetUp() override {
        ASSERT_TRUE(hidrive.listen());
        restart();
    }
    /// A new storage over the same keychain, as after a restart of the program.
    void restart() {
        Deployment::HiDrive deployment;
        deployment.clientId = FakeHiDriveServer::kClientId;
        deployment.clientSecret = FakeHiDriveServer::kClientSecret;
        deployment.accountHost = hidrive.accountUrl();
        deployment.apiHost = hidrive.apiUrl();
        storage = std::make_unique<HiDriveStorage>(
            HiDriveStorage::Services{paths, session, keychain, http, &key,
                                     [this](const QUrl& url) {
                                         // The browser shows the page with the code.
                                         QNetworkReply* reply = browser.get(QNetworkRequest(url));
                                         QObject::connect(reply, &QNetworkReply::finished, reply,
                                                          [this, reply] {
                                                              reply->deleteLater();
                                                              page = reply->readAll();
                                                          });
                                     }},
            deployment);
    }
    /// Signs in the way the user does: the page's code typed into the prompt.
    QString signInWithCode() {
        page.clear();
        storage->login([] {}, [](const QString&) {});
        EXPECT_TRUE(QTest::qWaitFor([&] { return !page.isEmpty(); }, 20000));
        const QString code =
            QRegularExpression(QStringLiteral("<b>([^<]+)</b>")).match(page).captured(1);
        return wait([&](auto d, auto f) { storage->exchangeCode(code, d, f); });
    }
    int folderCreations() const {
        return static_cast<int>(std::count_if(
            hidrive.apiRequests().begin(), hidrive.apiRequests().end(),
            [](const auto& r) { return r.method == "POST" && r.path() == "/2.1/dir"; }));
    }

    FakeHiDriveServer hidrive;
    QString page;
};

TEST_F(HiDriveStorageTest, SignInWithTheTypedCodeListUploadDownloadDeleteSignOut) {
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(signInWithCode(), QString());
    EXPECT_TRUE(keychain.get(HiDriveStorage::kAuthorizerTokenKey));
    EXPECT_TRUE(keychain.get(HiDriveStorage::kAuthorizerRefreshKey));
    EXPECT_TRUE(list().empty());
    EXPECT_EQ(folderCreations(), 1);

    // A name that a query would cut short if it went in unencoded.
    session.remoteFileInfo =
        std::make_shared<RemoteFileInfo>(QStringLiteral("Backups/Family & Co #1+2 😀.pswe"));
    const QString name = session.remoteFileInfo->name;
    writeCopy(name, "first");
    ASSERT_EQ(save(), QString());
    writeCopy(name, "second");
    ASSERT_EQ(save(), QString()) << "saved again, the file is replaced";
    const Files files = list();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->name, name);
    EXPECT_EQ(files[0]->size, 6);
    ASSERT_TRUE(files[0]->modified);
    EXPECT_EQ(files[0]->modified->toSecsSinceEpoch(), hidrive.items().value(*files[0]->id).mtime);
    EXPECT_EQ(folderCreations(), 1) << "the folder is found by its name";

    // Right after a restart the stored access token serves the download as it is.
    const int refreshes = hidrive.oauth().refreshes();
    restart();
    QFile::remove(copyPath(name));
    ASSERT_EQ(download(files[0]), QString());
    EXPECT_EQ(readCopy(name), QByteArray("second"));
    EXPECT_EQ(hidrive.oauth().refreshes(), refreshes);

    const QString other =
        hidrive.add(QStringLiteral("Work.pswd"), hidrive.items().value(*files[0]->id).parentId);
    const Files both = list();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(remove(both, 2), QString());
    EXPECT_FALSE(hidrive.items().contains(other));
    EXPECT_FALSE(hidrive.items().contains(*files[0]->id));
    storage->logout();
    EXPECT_FALSE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.items().isEmpty());
}

// A failing service leaves the working copy and the remote file whole.
TEST_F(HiDriveStorageTest, FailuresKeepTheLocalCopyAndTheRemoteFile) {
    EXPECT_EQ(wait([&](auto d, auto f) { storage->exchangeCode(QStringLiteral("guessed"), d, f); }),
              QStringLiteral("authorization failed"));
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(signInWithCode(), QString());
    const QString folder = hidrive.add(QStringLiteral("Keskor"), hidrive.home(), {}, true);
    const QString id = hidrive.add(QStringLiteral("Family.pswe"), folder, "remote");
    auto file = std::make_shared<RemoteFileInfo>(QStringLiteral("Family.pswe"), id);
    session.remoteFileInfo = file;
    writeCopy(file->name, "local");

    hidrive.setDownloadRedirectLoop(true);
    EXPECT_FALSE(download(file).isEmpty());
    hidrive.setDownloadRedirectLoop(false);
    hidrive.setDownloadCutShort(true);
    EXPECT_FALSE(download(file).isEmpty());
    EXPECT_EQ(readCopy(file->name), QByteArray("local"));

    hidrive.setFailure(500);
    EXPECT_TRUE(save().contains(QStringLiteral("Internal Server Error")));
    EXPECT_EQ(hidrive.items().value(id).content, QByteArray("remote"));
    hidrive.setFailure(0);

    // The token runs out while the bytes are on their way: refreshed and sent again, whole.
    hidrive.expireTokensAtNextUpload();
    EXPECT_EQ(save(), QString());
    EXPECT_EQ(hidrive.items().value(id).content, QByteArray("local"));
    EXPECT_EQ(folderCreations(), 0);
    // A refused refresh is the shared token session's, checked with Box.
}

} // namespace
} // namespace keskor
