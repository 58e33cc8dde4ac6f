#include "storage/box/BoxStorage.h"

#include "testing/FakeBoxServer.h"
#include "tests/storage/CloudStorageFixture.h"

namespace keskor {
namespace {

using testing::FakeBoxServer;

class BoxStorageTest : public test::CloudStorageFixture<BoxStorage> {
protected:
    BoxStorageTest() : CloudStorageFixture(Location::box) {}
    void SetUp() override {
        ASSERT_TRUE(box.listen());
        deployment.clientId = FakeBoxServer::kClientId;
        deployment.clientSecret = FakeBoxServer::kClientSecret;
        deployment.authorizeHost = box.apiUrl();
        deployment.apiHost = box.apiUrl();
        deployment.uploadHost = box.uploadUrl();
        restart();
    }
    /// A new storage over the same keychain, as after a restart of the program.
    void restart() {
        storage.reset();
        storage = std::make_unique<BoxStorage>(
            BoxStorage::Services{
                paths, session, keychain, http, &key,
                [this](const QUrl& url) {
                    // The browser: the user agrees, and the desktop hands the
                    // "boxsdk-" redirect to the program.
                    ++browserOpens;
                    QNetworkRequest request(url);
                    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                         QNetworkRequest::ManualRedirectPolicy);
                    QNetworkReply* reply = browser.get(request);
                    QObject::connect(reply, &QNetworkReply::finished, reply, [=, this] {
                        reply->deleteLater();
                        storage->handleRedirect(QUrl::fromEncoded(reply->rawHeader("Location")));
                    });
                }},
            deployment);
    }
    QString keskorFolder() const {
        for (const auto& item : box.items()) {
            if (item.name == QLatin1String("Keskor") && item.type == QLatin1String("folder")) {
                return item.id;
            }
        }
        return {};
    }

    FakeBoxServer box;
    Deployment::Box deployment;
};

TEST_F(BoxStorageTest, SignInListUploadDownloadDeleteSignOut) {
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(signIn(), QString());
    EXPECT_TRUE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.get(BoxStorage::kAuthorizerTokenKey));
    EXPECT_TRUE(keychain.get(BoxStorage::kAuthorizerRefreshKey));
    EXPECT_TRUE(list().empty());
    const QString folder = keskorFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_EQ(box.items().value(folder).parentId, QStringLiteral("0"));
    box.add(QStringLiteral("Old"), folder, {}, QStringLiteral("folder"));

    // A database created here: its path has a folder part, its name an emoji and an ampersand.
    session.remoteFileInfo =
        std::make_shared<RemoteFileInfo>(QStringLiteral("Backups/Family & 😀.pswe"));
    const QString name = session.remoteFileInfo->name;
    writeCopy(name, "first");
    ASSERT_EQ(save(), QString());
    ASSERT_TRUE(session.remoteFileInfo->id);
    const QString id = *session.remoteFileInfo->id;
    EXPECT_EQ(box.items().value(id).name, name);
    // Saved again: a new version of the same file, not a second file the service refuses.
    writeCopy(name, "second");
    ASSERT_EQ(save(), QString());
    EXPECT_EQ(box.items().value(id).versions, 2);
    EXPECT_EQ(box.items().value(id).content, QByteArray("second"));

    const QString other = box.add(QStringLiteral("Work.pswd"), folder, "work");
    const Files files = list();
    ASSERT_EQ(files.size(), 2u) << "the subfolder is not listed";
    EXPECT_EQ(files[0]->name, name);
    EXPECT_EQ(files[0]->size, 6);
    ASSERT_TRUE(files[1]->modified);
    EXPECT_EQ(files[1]->modified->toSecsSinceEpoch(),
              box.items().value(other).modified.toSecsSinceEpoch());

    QFile::remove(copyPath(name));
    ASSERT_EQ(download(files[0]), QString());
    EXPECT_EQ(readCopy(name), QByteArray("second"));
    const auto requests = box.requests();
    const auto fetch = std::find_if(requests.begin(), requests.end(),
                                    [](const auto& r) { return r.path().startsWith("/dl/"); });
    ASSERT_NE(fetch, requests.end());
    EXPECT_FALSE(fetch->headers.contains("authorization")) << "the token stays with the API";

    EXPECT_EQ(remove(files, 2), QString());
    EXPECT_FALSE(box.items().contains(id));
    EXPECT_FALSE(box.items().contains(other));
    storage->logout();
    EXPECT_FALSE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.items().isEmpty());
}

// Refresh tokens are good once: the new one must be kept, also across a restart, and two
// operations at the same time must share one refresh.
TEST_F(BoxStorageTest, StoredTokensRefreshWithoutTheBrowserAndRefreshesAreShared) {
    ASSERT_EQ(signIn(), QString());
    restart();
    ASSERT_TRUE(storage->isLoggedIn());
    ASSERT_EQ(signIn(), QString());
    EXPECT_EQ(browserOpens, 1);
    restart();
    const auto listTwice = [&](auto done, auto failed) {
        for (int i = 0; i < 2; ++i) {
            storage->listFiles([done](Files) { done(); }, failed);
        }
    };
    EXPECT_EQ(wait(listTwice, 2), QString());
    EXPECT_EQ(box.oauth().refreshes(), 2);
}

TEST_F(BoxStorageTest, FoldersOfManyPagesAreReadWhole) {
    ASSERT_EQ(signIn(), QString());
    box.setMaxPageSize(1000);
    for (int i = 0; i < 1500; ++i) {
        box.add(QStringLiteral("other%1").arg(i), QStringLiteral("0"));
    }
    box.add(QStringLiteral("Keskor"), QStringLiteral("0")); // a file of that name
    const QString folder =
        box.add(QStringLiteral("Keskor"), QStringLiteral("0"), {}, QStringLiteral("folder"));
    for (int i = 0; i < 2500; ++i) {
        box.add(QStringLiteral("db%1.pswd").arg(i), folder, "x");
    }
    const Files files = list();
    ASSERT_EQ(files.size(), 2500u);
    EXPECT_EQ(files.back()->name, QStringLiteral("db2499.pswd"));
    EXPECT_EQ(keskorFolder(), folder) << "no second folder was made";
}

// A failing service leaves the working copy and the remote file whole.
TEST_F(BoxStorageTest, FailuresKeepTheLocalCopyAndTheRemoteFile) {
    ASSERT_EQ(signIn(), QString());
    ASSERT_TRUE(list().empty());
    const QString id = box.add(QStringLiteral("Family.pswe"), keskorFolder(), "remote");
    auto file = std::make_shared<RemoteFileInfo>(QStringLiteral("Family.pswe"), id);
    session.remoteFileInfo = file;
    writeCopy(file->name, "local");

    box.setDownloadRedirectLoop(true);
    EXPECT_EQ(download(file), QStringLiteral("error_file_read"));
    box.setDownloadRedirectLoop(false);
    box.setDownloadCutShort(true);
    EXPECT_EQ(download(file), QStringLiteral("error_file_read"));
    EXPECT_EQ(readCopy(file->name), QByteArray("local"));

    box.setFailure(500);
    const QString failed = save();
    EXPECT_TRUE(failed.startsWith(QStringLiteral("error_upload: "))) << failed.toStdString();
    EXPECT_EQ(box.items().value(id).content, QByteArray("remote"));
    box.setFailure(0);

    // The token runs out while the bytes are on their way: refreshed and sent again, whole.
    box.expireTokensAtNextUpload();
    EXPECT_EQ(save(), QString());
    EXPECT_EQ(box.items().value(id).content, QByteArray("local"));
    EXPECT_EQ(box.items().value(id).versions, 2);

    box.oauth().revokeRefreshTokens();
    EXPECT_EQ(save(), QStringLiteral("authorization failed"));
    EXPECT_FALSE(storage->isLoggedIn()) << "a refused refresh means signing in again";
    EXPECT_TRUE(keychain.items().isEmpty());

    // A return from the browser that carries no code; the browser's own return comes too
    // late and is ignored.
    EXPECT_EQ(wait([&](auto d, auto f) {
                  storage->login(d, f);
                  storage->handleRedirect(QUrl(QStringLiteral("boxsdk-x://boxsdkoauth2redirect")));
              }),
              QStringLiteral("authorization failed"));
}

} // namespace
} // namespace keskor
