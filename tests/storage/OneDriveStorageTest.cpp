#include "storage/onedrive/OneDriveStorage.h"

#include "testing/FakeGraphServer.h"
#include "tests/storage/CloudStorageFixture.h"

namespace keskor {
namespace {

using testing::FakeGraphServer;

class OneDriveStorageTest : public test::CloudStorageFixture<OneDriveStorage> {
protected:
    OneDriveStorageTest() : CloudStorageFixture(Location::oneDrive) {}
    void SetUp() override {
        ASSERT_TRUE(graph.listen());
        Deployment::OneDrive deployment;
        deployment.clientId = QStringLiteral("00000000-0000-0000-0000-000000000000");
        deployment.authority = graph.authority();
        deployment.graphEndpoint = graph.graphEndpoint();
        storage = std::make_unique<OneDriveStorage>(
            OneDriveStorage::Services{paths, session, keychain, http, &key, browserOpener()},
            deployment);
    }

    FakeGraphServer graph;
};

TEST_F(OneDriveStorageTest, SignInListUploadDownloadDeleteSignOut) {
    EXPECT_FALSE(storage->isLoggedIn());
    ASSERT_EQ(signIn(), QString());
    EXPECT_TRUE(storage->isLoggedIn());
    EXPECT_TRUE(keychain.get(OneDriveStorage::kTokensKey));
    EXPECT_TRUE(list().empty());

    // A new database, named with characters a URL must carry encoded.
    const QString name = QStringLiteral("Family #1 & ü 😀?.pswe");
    writeCopy(name, "first");
    session.remoteFileInfo = std::make_shared<RemoteFileInfo>(name);
    ASSERT_EQ(save(), QString());
    const Files files = list();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->name, name);
    EXPECT_EQ(files[0]->size, 5);

    // A known file: replaced by id, even with a token that expired meanwhile.
    writeCopy(name, "second");
    session.remoteFileInfo = files[0];
    graph.oauth().expireAccessTokens();
    ASSERT_EQ(save(), QString());
    EXPECT_EQ(graph.items().value(*files[0]->id).content, QByteArray("second"));
    EXPECT_EQ(graph.oauth().refreshes(), 1);

    QFile::remove(copyPath(name));
    ASSERT_EQ(download(files[0]), QString());
    EXPECT_EQ(readCopy(name), QByteArray("second"));
    const auto fetch =
        std::find_if(graph.requests().begin(), graph.requests().end(),
                     [](const auto& r) { return r.path().startsWith("/download/"); });
    ASSERT_NE(fetch, graph.requests().end());
    EXPECT_FALSE(fetch->headers.contains("authorization")) << "the token stays with Graph";

    ASSERT_EQ(remove(files), QString());
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
    EXPECT_EQ(list().size(), 10000u);
    EXPECT_GE(graph.requests().size(), 10000 / 200);
}

// A failing service leaves the working copy and the remote file as they were.
TEST_F(OneDriveStorageTest, FailuresKeepTheLocalCopyAndTheRemoteFile) {
    ASSERT_EQ(signIn(), QString());
    const QString folder =
        graph.add(QStringLiteral("Keskor"), QStringLiteral("documents"), {}, true);
    const QString id = graph.add(QStringLiteral("Family.pswe"), folder, "remote");
    auto file = std::make_shared<RemoteFileInfo>(QStringLiteral("Family.pswe"), id);
    writeCopy(file->name, "local");

    graph.setFailure(500);
    session.remoteFileInfo = file;
    EXPECT_TRUE(save().contains(QStringLiteral("Internal Server Error")));
    EXPECT_EQ(download(file), QStringLiteral("failed_load_file"));
    QString failure;
    list(&failure);
    EXPECT_TRUE(failure.contains(QStringLiteral("Internal Server Error")));
    EXPECT_EQ(graph.items().value(id).content, QByteArray("remote"));
    EXPECT_EQ(readCopy(file->name), QByteArray("local"));

    graph.setFailure(0);
    graph.oauth().expireAccessTokens();
    graph.oauth().revokeRefreshTokens();
    EXPECT_EQ(save(), QStringLiteral("authorization failed"));
    EXPECT_FALSE(storage->isLoggedIn()) << "a refused refresh means signing in again";
}

} // namespace
} // namespace keskor
