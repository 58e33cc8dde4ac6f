#include "storage/onedrive/OneDriveStorage.h"

#include "core/FileFunctions.h"
#include "core/SessionManager.h"
#include "platform/AppPaths.h"
#include "platform/MemoryKeychain.h"
#include "testing/FakeGraphServer.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::FakeGraphServer;

class OneDriveStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(graph.listen());
        Deployment::OneDrive deployment;
        deployment.clientId = QStringLiteral("00000000-0000-0000-0000-000000000000");
        deployment.authority = graph.authority();
        deployment.graphEndpoint = graph.graphEndpoint();
        storage = std::make_unique<OneDriveStorage>(
            OneDriveStorage::Services{
                paths, session, keychain, http, [](const QString& key) { return key; },
                [this](const QUrl& url) {
                    // The browser: the provider sends it back to us.
                    QNetworkReply* reply = browser.get(QNetworkRequest(url));
                    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
                }},
            deployment);
    }

    QString workingCopy(const QString& name) const {
        return QDir(FileFunctions::workingFolder(paths, Location::oneDrive, {}, true))
            .filePath(name);
    }
    /// Runs one operation; its failure text, empty on success.
    QString wait(const std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>& op) {
        int calls = 0;
        QString failure;
        op([&] { ++calls; },
           [&](const QString& m) {
               ++calls;
               failure = m.isEmpty() ? QStringLiteral("(empty)") : m;
           });
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 20000));
        QTest::qWait(10);
        EXPECT_EQ(calls, 1);
        return failure;
    }
    IRemoteStorage::FileList list(QString* failure = nullptr) {
        IRemoteStorage::FileList files;
        const QString f = wait([&](auto done, auto failed) {
            storage->listFiles(
                [&, done](IRemoteStorage::FileList l) {
                    files = std::move(l);
                    done();
                },
                failed);
        });
        if (failure) {
            *failure = f;
        }
        return files;
    }
    QString signIn() {
        return wait([&](auto done, auto failed) { storage->login(done, failed); });
    }

    FakeGraphServer graph;
    test::TempDir dir;
    AppPaths paths{dir.path()};
    SessionManager session;
    MemoryKeychain keychain;
    QNetworkAccessManager network;
    QNetworkAccessManager browser;
    HttpClient http{network, [](const QString& key) { return key; }};
    std::unique_ptr<OneDriveStorage> storage;
};

TEST_F(OneDriveStorageTest, SignInListUploadDownloadDeleteSignOut) {
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(signIn(), QString());
    EXPECT_TRUE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.get(OneDriveStorage::kTokensKey));
    QString failure;
    EXPECT_TRUE(list(&failure).empty()) << failure.toStdString();

    // A new database, named with characters a URL must carry encoded.
    const QString name = QStringLiteral("Family #1 & ü 😀?.pswe");
    {
        QFile f(workingCopy(name));
        f.open(QIODevice::WriteOnly);
        f.write("first");
    }
    session.remoteFileInfo = std::make_shared<RemoteFileInfo>(name);
    ASSERT_EQ(wait([&](auto d, auto f) { storage->saveCurrentFile(d, f); }), QString());
    const IRemoteStorage::FileList files = list();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->name, name);
    EXPECT_EQ(files[0]->size, 5);

    // A known file: replaced by id, even with a token that expired meanwhile.
    {
        QFile f(workingCopy(name));
        f.open(QIODevice::WriteOnly);
        f.write("second");
    }
    session.remoteFileInfo = files[0];
    graph.oauth().expireAccessTokens();
    ASSERT_EQ(wait([&](auto d, auto f) { storage->saveCurrentFile(d, f); }), QString());
    EXPECT_EQ(graph.items().value(*files[0]->id).content, QByteArray("second"));
    EXPECT_EQ(graph.oauth().refreshes(), 1);

    QFile::remove(workingCopy(name));
    ASSERT_EQ(wait([&](auto d, auto f) { storage->downloadFile(files[0], d, f); }), QString());
    QFile copy(workingCopy(name));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("second"));
    const auto download =
        std::find_if(graph.requests().begin(), graph.requests().end(),
                     [](const auto& r) { return r.path().startsWith("/download/"); });
    ASSERT_NE(download, graph.requests().end());
    EXPECT_FALSE(download->headers.contains("authorization")) << "the token stays with Graph";

    ASSERT_EQ(wait([&](auto d, auto f) { storage->deleteFiles(files, d, f); }), QString());
    EXPECT_FALSE(graph.items().contains(*files[0]->id));
    storage->logout();
    EXPECT_FALSE(storage->isLoggedIn());
    EXPECT_FALSE(keychain.get(OneDriveStorage::kTokensKey));
}

TEST_F(OneDriveStorageTest, TenThousandFilesArriveOverManyPagesAndOnlyDatabasesAreListed) {
    ASSERT_EQ(signIn(), QString());
    graph.add(QStringLiteral("Keskor"), QStringLiteral("documents"), {}, false); // a file
    const QString folder =
        graph.add(QStringLiteral("Keskor"), QStringLiteral("documents"), {}, true);
    for (int i = 0; i < 10000; ++i) {
        graph.add(QStringLiteral("db%1.pswd").arg(i), folder, "x");
    }
    graph.add(QStringLiteral("notes.pswd.bak"), folder);
    graph.add(QStringLiteral("LOUD.PSWD"), folder);
    QString failure;
    const IRemoteStorage::FileList files = list(&failure);
    EXPECT_EQ(failure, QString());
    EXPECT_EQ(files.size(), 10000u);
    EXPECT_GE(graph.requests().size(), 10000 / 200);
}

// A failing service leaves the working copy and the remote file as they were.
TEST_F(OneDriveStorageTest, FailuresKeepTheLocalCopyAndTheRemoteFile) {
    ASSERT_EQ(signIn(), QString());
    const QString folder =
        graph.add(QStringLiteral("Keskor"), QStringLiteral("documents"), {}, true);
    const QString id = graph.add(QStringLiteral("Family.pswe"), folder, "remote");
    auto file = std::make_shared<RemoteFileInfo>(QStringLiteral("Family.pswe"), id);
    {
        QFile f(workingCopy(file->name));
        f.open(QIODevice::WriteOnly);
        f.write("local");
    }

    graph.setFailure(500);
    session.remoteFileInfo = file;
    EXPECT_TRUE(wait([&](auto d, auto f) {
                    storage->saveCurrentFile(d, f);
                }).contains(QStringLiteral("Internal Server Error")));
    EXPECT_EQ(wait([&](auto d, auto f) { storage->downloadFile(file, d, f); }),
              QStringLiteral("failed_load_file"));
    QString failure;
    list(&failure);
    EXPECT_TRUE(failure.contains(QStringLiteral("Internal Server Error")));
    EXPECT_EQ(graph.items().value(id).content, QByteArray("remote"));
    QFile copy(workingCopy(file->name));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("local"));

    graph.setFailure(0);
    graph.oauth().expireAccessTokens();
    graph.oauth().revokeRefreshTokens();
    EXPECT_EQ(wait([&](auto d, auto f) { storage->saveCurrentFile(d, f); }),
              QStringLiteral("authorization failed"));
    EXPECT_FALSE(storage->isLoggedIn()) << "a refused refresh means signing in again";
}

} // namespace
} // namespace keskor
