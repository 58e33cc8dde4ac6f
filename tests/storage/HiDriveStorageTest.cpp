#include "storage/hidrive/HiDriveStorage.h"

#include "core/FileFunctions.h"
#include "core/SessionManager.h"
#include "platform/AppPaths.h"
#include "platform/MemoryKeychain.h"
#include "testing/FakeHiDriveServer.h"
#include "tests/support/RemoteCalls.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::FakeHiDriveServer;
using Op = std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>;

class HiDriveStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hidrive.listen());
        FileFunctions::workingFolder(paths, Location::hiDrive, {}, true);
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
            HiDriveStorage::Services{
                paths, session, keychain, http, [](const QString& key) { return key; },
                [this](const QUrl& url) {
                    // The browser shows the page with the code.
                    QNetworkReply* reply = browser.get(QNetworkRequest(url));
                    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
                        reply->deleteLater();
                        page = reply->readAll();
                    });
                }},
            deployment);
    }
    /// Signs in the way the user does: the page's code typed into the prompt.
    QString signIn() {
        page.clear();
        storage->login([] {}, [](const QString&) {});
        EXPECT_TRUE(QTest::qWaitFor([&] { return !page.isEmpty(); }, 20000));
        const QString code =
            QRegularExpression(QStringLiteral("<b>([^<]+)</b>")).match(page).captured(1);
        return run([&](auto d, auto f) { storage->exchangeCode(code, d, f); });
    }
    /// The working copy of `name`, relative to the temporary folder.
    static QString copy(const QString& name) { return QStringLiteral("documents/HiDrive/") + name; }
    QString run(const Op& op, int expected = 1) { return test::runRemote(op, expected); }
    QString save() {
        return run([&](auto d, auto f) { storage->saveCurrentFile(d, f); });
    }
    int folderCreations() const {
        return static_cast<int>(std::count_if(
            hidrive.apiRequests().begin(), hidrive.apiRequests().end(),
            [](const auto& r) { return r.method == "POST" && r.path() == "/2.1/dir"; }));
    }

    FakeHiDriveServer hidrive;
    test::TempDir dir;
    AppPaths paths{dir.path()};
    SessionManager session;
    MemoryKeychain keychain;
    QNetworkAccessManager network;
    QNetworkAccessManager browser;
    HttpClient http{network, [](const QString& key) { return key; }};
    QString page;
    std::unique_ptr<HiDriveStorage> storage;
};

TEST_F(HiDriveStorageTest, SignInWithTheTypedCodeListUploadDownloadDeleteSignOut) {
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(signIn(), QString());
    EXPECT_TRUE(keychain.get(HiDriveStorage::kAuthorizerTokenKey));
    EXPECT_TRUE(keychain.get(HiDriveStorage::kAuthorizerRefreshKey));
    EXPECT_TRUE(test::listRemote(*storage).empty());
    EXPECT_EQ(folderCreations(), 1);

    // A name that a query would cut short if it went in unencoded.
    session.remoteFileInfo =
        std::make_shared<RemoteFileInfo>(QStringLiteral("Backups/Family & Co #1+2 😀.pswe"));
    const QString name = session.remoteFileInfo->name;
    dir.write(copy(name), "first");
    ASSERT_EQ(save(), QString());
    dir.write(copy(name), "second");
    ASSERT_EQ(save(), QString()) << "saved again, the file is replaced";
    const IRemoteStorage::FileList files = test::listRemote(*storage);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->name, name);
    EXPECT_EQ(files[0]->size, 6);
    ASSERT_TRUE(files[0]->modified);
    EXPECT_EQ(files[0]->modified->toSecsSinceEpoch(), hidrive.items().value(*files[0]->id).mtime);
    EXPECT_EQ(folderCreations(), 1) << "the folder is found by its name";

    // Right after a restart the stored access token serves the download as it is.
    const int refreshes = hidrive.oauth().refreshes();
    restart();
    QFile::remove(dir.file(copy(name)));
    ASSERT_EQ(run([&](auto d, auto f) { storage->downloadFile(files[0], d, f); }), QString());
    EXPECT_EQ(dir.read(copy(name)), QByteArray("second"));
    EXPECT_EQ(hidrive.oauth().refreshes(), refreshes);

    const QString other =
        hidrive.add(QStringLiteral("Work.pswd"), hidrive.items().value(*files[0]->id).parentId);
    const IRemoteStorage::FileList both = test::listRemote(*storage);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(run([&](auto d, auto f) { storage->deleteFiles(both, d, f); }, 2), QString());
    EXPECT_FALSE(hidrive.items().contains(other));
    EXPECT_FALSE(hidrive.items().contains(*files[0]->id));
    storage->logout();
    EXPECT_FALSE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.items().isEmpty());
}

// A failing service leaves the working copy and the remote file whole.
TEST_F(HiDriveStorageTest, FailuresKeepTheLocalCopyAndTheRemoteFile) {
    EXPECT_EQ(run([&](auto d, auto f) { storage->exchangeCode(QStringLiteral("guessed"), d, f); }),
              QStringLiteral("authorization failed"));
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(signIn(), QString());
    const QString folder = hidrive.add(QStringLiteral("Keskor"), hidrive.home(), {}, true);
    const QString id = hidrive.add(QStringLiteral("Family.pswe"), folder, "remote");
    auto file = std::make_shared<RemoteFileInfo>(QStringLiteral("Family.pswe"), id);
    session.remoteFileInfo = file;
    dir.write(copy(file->name), "local");
    const auto download = [&] {
        return run([&](auto d, auto f) { storage->downloadFile(file, d, f); });
    };

    hidrive.setDownloadRedirectLoop(true);
    EXPECT_FALSE(download().isEmpty());
    hidrive.setDownloadRedirectLoop(false);
    hidrive.setDownloadCutShort(true);
    EXPECT_FALSE(download().isEmpty());
    EXPECT_EQ(dir.read(copy(file->name)), QByteArray("local"));

    hidrive.setFailure(500);
    EXPECT_TRUE(save().contains(QStringLiteral("Internal Server Error")));
    EXPECT_EQ(hidrive.items().value(id).content, QByteArray("remote"));
    hidrive.setFailure(0);

    // The token runs out while the bytes are on their way: refreshed and sent again, whole.
    hidrive.expireTokensAtNextUpload();
    EXPECT_EQ(save(), QString());
    EXPECT_EQ(hidrive.items().value(id).content, QByteArray("local"));
    EXPECT_EQ(folderCreations(), 0);

    hidrive.oauth().revokeRefreshTokens();
    EXPECT_EQ(save(), QStringLiteral("authorization failed"));
    EXPECT_FALSE(storage->isLoggedIn()) << "a refused refresh means signing in again";
    EXPECT_TRUE(keychain.items().isEmpty());
}

} // namespace
} // namespace keskor
