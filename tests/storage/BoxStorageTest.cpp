#include "storage/box/BoxStorage.h"

#include "core/FileFunctions.h"
#include "core/SessionManager.h"
#include "platform/AppPaths.h"
#include "platform/MemoryKeychain.h"
#include "testing/FakeBoxServer.h"
#include "tests/support/RemoteCalls.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::FakeBoxServer;
using Op = std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>;

class BoxStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(box.listen());
        deployment.clientId = FakeBoxServer::kClientId;
        deployment.clientSecret = FakeBoxServer::kClientSecret;
        deployment.authorizeHost = box.apiUrl();
        deployment.apiHost = box.apiUrl();
        deployment.uploadHost = box.uploadUrl();
        FileFunctions::workingFolder(paths, Location::box, {}, true);
        restart();
    }
    /// A new storage over the same keychain, as after a restart of the program.
    void restart() {
        storage.reset();
        storage = std::make_unique<BoxStorage>(
            BoxStorage::Services{
                paths, session, keychain, http, [](const QString& key) { return key; },
                [this](const QUrl& url) {
                    // The browser: the user agrees, and the desktop hands the
                    // "boxsdk-" redirect to the program.
                    ++browserOpened;
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
    /// The working copy of `name`, relative to the temporary folder.
    static QString copy(const QString& name) { return QStringLiteral("documents/Box/") + name; }
    QString wait(const Op& op, int expected = 1) { return test::runRemote(op, expected); }
    IRemoteStorage::FileList list() { return test::listRemote(*storage); }
    QString save() {
        return wait([&](auto d, auto f) { storage->saveCurrentFile(d, f); });
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
    test::TempDir dir;
    AppPaths paths{dir.path()};
    SessionManager session;
    MemoryKeychain keychain;
    QNetworkAccessManager network;
    QNetworkAccessManager browser;
    HttpClient http{network, [](const QString& key) { return key; }};
    int browserOpened = 0;
    std::unique_ptr<BoxStorage> storage;
};

TEST_F(BoxStorageTest, SignInListUploadDownloadDeleteSignOut) {
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(wait([&](auto d, auto f) { storage->login(d, f); }), QString());
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
    dir.write(copy(name), "first");
    ASSERT_EQ(save(), QString());
    ASSERT_TRUE(session.remoteFileInfo->id);
    const QString id = *session.remoteFileInfo->id;
    EXPECT_EQ(box.items().value(id).name, name);
    // Saved again: a new version of the same file, not a second file the service refuses.
    dir.write(copy(name), "second");
    ASSERT_EQ(save(), QString());
    EXPECT_EQ(box.items().value(id).versions, 2);
    EXPECT_EQ(box.items().value(id).content, QByteArray("second"));

    const QString other = box.add(QStringLiteral("Work.pswd"), folder, "work");
    const IRemoteStorage::FileList files = list();
    ASSERT_EQ(files.size(), 2u) << "the subfolder is not listed";
    EXPECT_EQ(files[0]->name, name);
    EXPECT_EQ(files[0]->size, 6);
    ASSERT_TRUE(files[1]->modified);
    EXPECT_EQ(files[1]->modified->toSecsSinceEpoch(),
              box.items().value(other).modified.toSecsSinceEpoch());

    QFile::remove(dir.file(copy(name)));
    ASSERT_EQ(wait([&](auto d, auto f) { storage->downloadFile(files[0], d, f); }), QString());
    EXPECT_EQ(dir.read(copy(name)), QByteArray("second"));
    const auto requests = box.requests();
    const auto download = std::find_if(requests.begin(), requests.end(),
                                       [](const auto& r) { return r.path().startsWith("/dl/"); });
    ASSERT_NE(download, requests.end());
    EXPECT_FALSE(download->headers.contains("authorization")) << "the token stays with the API";

    EXPECT_EQ(wait([&](auto d, auto f) { storage->deleteFiles(files, d, f); }, 2), QString());
    EXPECT_FALSE(box.items().contains(id));
    EXPECT_FALSE(box.items().contains(other));
    storage->logout();
    EXPECT_FALSE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.items().isEmpty());
}

// Refresh tokens are good once: the new one must be kept, also across a restart, and two
// operations at the same time must share one refresh.
TEST_F(BoxStorageTest, StoredTokensRefreshWithoutTheBrowserAndRefreshesAreShared) {
    ASSERT_EQ(wait([&](auto d, auto f) { storage->login(d, f); }), QString());
    restart();
    ASSERT_TRUE(storage->isLoggedIn());
    ASSERT_EQ(wait([&](auto d, auto f) { storage->login(d, f); }), QString());
    EXPECT_EQ(browserOpened, 1);
    restart();
    int calls = 0;
    QString failures;
    for (int i = 0; i < 2; ++i) {
        storage->listFiles([&](IRemoteStorage::FileList) { ++calls; },
                           [&](const QString& m) { ++calls, failures += m; });
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls >= 2; }, 20000));
    EXPECT_EQ(failures.toStdString(), "");
    EXPECT_EQ(box.oauth().refreshes(), 2);
}

TEST_F(BoxStorageTest, FoldersOfManyPagesAreReadWhole) {
    ASSERT_EQ(wait([&](auto d, auto f) { storage->login(d, f); }), QString());
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
    const IRemoteStorage::FileList files = list();
    ASSERT_EQ(files.size(), 2500u);
    EXPECT_EQ(files.back()->name, QStringLiteral("db2499.pswd"));
    EXPECT_EQ(keskorFolder(), folder) << "no second folder was made";
}

// A failing service leaves the working copy and the remote file whole.
TEST_F(BoxStorageTest, FailuresKeepTheLocalCopyAndTheRemoteFile) {
    ASSERT_EQ(wait([&](auto d, auto f) { storage->login(d, f); }), QString());
    ASSERT_TRUE(list().empty());
    const QString id = box.add(QStringLiteral("Family.pswe"), keskorFolder(), "remote");
    auto file = std::make_shared<RemoteFileInfo>(QStringLiteral("Family.pswe"), id);
    session.remoteFileInfo = file;
    dir.write(copy(file->name), "local");
    const auto download = [&] {
        return wait([&](auto d, auto f) { storage->downloadFile(file, d, f); });
    };

    box.setDownloadRedirectLoop(true);
    EXPECT_EQ(download(), QStringLiteral("error_file_read"));
    box.setDownloadRedirectLoop(false);
    box.setDownloadCutShort(true);
    EXPECT_EQ(download(), QStringLiteral("error_file_read"));
    EXPECT_EQ(dir.read(copy(file->name)), QByteArray("local"));

    box.setFailure(500);
    EXPECT_TRUE(save().startsWith(QStringLiteral("error_upload: "))) << save().toStdString();
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
