#include "enterprise/GrantAccessViewController.h"

#include "core/shared/AccessRights.h"
#include "core/shared/PassFile.h"
#include "enterprise/EnterpriseStorage.h"
#include "enterprise/RevokeAccessViewController.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"
#include "testing/enterprise-server/EnterpriseServer.h"
#include "tests/support/RemoteCalls.h"
#include "tests/support/TempDir.h"

#include <QTest>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::ScriptedPresenter;

QStringList names(const QList<QVariantMap>& users) {
    QStringList out;
    for (const QVariantMap& user : users) {
        out.append(user.value(QStringLiteral("name")).toString());
    }
    return out;
}

class GrantAccessViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::EnterpriseServer::Options options;
        options.dataFolder = dir.path();
        options.hashCost = testing::ServerUserStore::HashCost::minimum();
        server = std::make_unique<testing::EnterpriseServer>(options);
        QString error;
        ASSERT_TRUE(server->start(0, &error)) << error.toStdString();
        // Roles: 1 super admin, 2 server admin, 4 database admin, 8 user admin.
        for (const auto& [name, roles] : {std::pair{"me", 4},
                                          {"super", 1},
                                          {"server", 2},
                                          {"dbadmin", 4},
                                          {"users", 8},
                                          {"plain", 0}}) {
            server->users().addUser(QString::fromLatin1(name), QStringLiteral("pw"),
                                    QStringLiteral("Full ") + QString::fromLatin1(name), roles);
        }
        ASSERT_TRUE(server->databases().add(QStringLiteral("Team/Vault"),
                                            testing::SampleDatabase::full(), {}, &error));
        ServerCredentials c;
        c.host = QStringLiteral("127.0.0.1");
        c.port = server->serverPort();
        c.userName = QStringLiteral("me");
        c.password = QStringLiteral("pw");
        c.protocolVersion = ProtocolVersion::version3;
        ASSERT_EQ(test::runRemote(
                      [&](auto ok, auto fail) { storage.login(c, false, std::nullopt, ok, fail); }),
                  QString());
        database = open();
        ASSERT_TRUE(database);
        entry = firstEntry(database->root());
    }
    std::optional<PassFile> open() {
        const IRemoteStorage::FileList files = test::listRemote(storage);
        if (files.size() != 1 || !test::runRemote([&](auto ok, auto fail) {
                                      storage.downloadFile(files[0], ok, fail);
                                  }).isEmpty()) {
            return std::nullopt;
        }
        return std::move(storage.takeDownloadedDatabase()->file);
    }
    static std::shared_ptr<Info2Item> firstEntry(const Info2Item& folder) {
        for (const auto& item : folder.subItems()) {
            auto found = item->isFolder ? firstEntry(*item) : item;
            if (found) {
                return found;
            }
        }
        return nullptr;
    }
    bool busyEnded() {
        return QTest::qWaitFor(
            [&] { return presenter.transcript().contains(QStringLiteral("hideBusy")); }, 15000);
    }

    test::TempDir dir;
    std::unique_ptr<testing::EnterpriseServer> server;
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    EnterpriseStorage storage{defaults, keychain};
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    std::optional<PassFile> database;
    std::shared_ptr<Info2Item> entry;
};

TEST_F(GrantAccessViewControllerTest, RolesDecideWhoIsGrantedToAndWhoApproves) {
    GrantAccessViewController grant(storage, presenter, *database, entry);
    ASSERT_TRUE(grant.me());
    EXPECT_EQ(grant.me()->value(QStringLiteral("name")).toString(), QStringLiteral("me"));
    EXPECT_EQ(names(grant.normalUsers()),
              QStringList({QStringLiteral("server"), QStringLiteral("dbadmin"),
                           QStringLiteral("users"), QStringLiteral("plain")}));
    EXPECT_EQ(names(grant.adminUsers()),
              QStringList({QStringLiteral("me"), QStringLiteral("super"), QStringLiteral("server"),
                           QStringLiteral("dbadmin")}));
    EXPECT_TRUE(grant.addApprover(1));
    EXPECT_FALSE(grant.addApprover(1));
    EXPECT_FALSE(grant.addApprover(grant.adminUsers().size()));
    EXPECT_EQ(GrantAccessViewController::userTitle(grant.approveUsers().front()),
              QStringLiteral("super (Full super)"));
}

TEST_F(GrantAccessViewControllerTest, GrantedPermissionArrivesAndIsRevokedByItsGrantor) {
    presenter.answerAlert(0);
    {
        GrantAccessViewController grant(storage, presenter, *database, entry);
        EXPECT_FALSE(grant.finish({}));
        GrantAccessViewController::Input input;
        input.user = int(names(grant.normalUsers()).indexOf(QStringLiteral("users")));
        input.validTo = QDateTime(QDate(2030, 5, 17), QTime(12, 0));
        input.use = input.read = true;
        // Sealed without approvers would lock the entry for good: it is sent unsealed.
        input.seal = true;
        int closed = 0;
        grant.setView({[&] { ++closed; }});
        ASSERT_TRUE(grant.finish(input));
        ASSERT_TRUE(busyEnded());
        EXPECT_EQ(closed, 1);
    }
    database = open();
    ASSERT_TRUE(database);
    presenter.clearCalls();
    RevokeAccessViewController revoke(storage, presenter, *database);
    ASSERT_EQ(revoke.revokeItems().size(), 1);
    const AccessPermission granted = *revoke.revokeItems().front().accessPermission;
    EXPECT_EQ(granted.rights, AccessRights::PWD_ACCESS_USE | AccessRights::PWD_ACCESS_READ);
    EXPECT_FALSE(granted.sealed);
    EXPECT_EQ(revoke.rowTexts(0).mid(1), QStringList({entry->description(), QStringLiteral("users"),
                                                      QString(), QStringLiteral("17/05/30")}));
    EXPECT_FALSE(revoke.canRevoke());
    revoke.setSelectedRow(0);
    int reloads = 0;
    revoke.setView({[&] { ++reloads; }});
    ASSERT_TRUE(revoke.revoke());
    ASSERT_TRUE(busyEnded());
    EXPECT_EQ(reloads, 1);
    EXPECT_TRUE(revoke.accessPermissions().isEmpty());
    database = open();
    EXPECT_TRUE(RevokeAccessViewController(storage, presenter, *database).revokeItems().isEmpty());
}

} // namespace
} // namespace keskor
