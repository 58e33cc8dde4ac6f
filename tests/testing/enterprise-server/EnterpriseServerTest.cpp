#include "testing/enterprise-server/EnterpriseServer.h"

#include "core/shared/PassFileCodec.h"
#include "testing/SampleDatabase.h"
#include "testing/enterprise-server/Totp.h"
#include "tests/support/TempDir.h"
#include "tests/testing/enterprise-server/RawEnterpriseClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <gtest/gtest.h>

namespace keskor::testing {
namespace {

class EnterpriseServerTest : public ::testing::Test {
protected:
    void start(bool tls = false) {
        options.dataFolder = dir.path();
        options.tls = tls;
        options.hashCost = ServerUserStore::HashCost::minimum();
        options.idleTimeout = std::chrono::milliseconds(1500);
        options.maxPacketSize = 1 << 20;
        options.clock = [this] { return now; };
        server = std::make_unique<EnterpriseServer>(options);
        QString error;
        ASSERT_TRUE(server->start(0, &error)) << error.toStdString();
        alice = *server->users().addUser(QStringLiteral("alice"), QStringLiteral("pw-a"),
                                         QStringLiteral("Alice A."), 4);
        ASSERT_TRUE(server->databases().add(QStringLiteral("Team/Vault"), SampleDatabase::full(),
                                            {}, &error));
        ASSERT_TRUE(server->users().save(&error));
    }
    std::unique_ptr<RawEnterpriseClient> loggedIn(const QString& user, const QString& password) {
        auto client =
            std::make_unique<RawEnterpriseClient>(server->serverPort(), ProtocolVersion::version3);
        EXPECT_TRUE(client->keyExchange());
        EXPECT_EQ(client->login(user, password).value_or(TCSDataPacket(client->protocol)).result(),
                  IProtocol::ERR_SUCCESS);
        return client;
    }
    static std::int32_t result(const std::optional<TCSDataPacket>& answer) {
        return answer ? answer->result() : -1;
    }

    test::TempDir dir;
    EnterpriseServer::Options options;
    std::int64_t now = 1111111109;
    std::unique_ptr<EnterpriseServer> server;
    QString alice;
};

class EnterpriseServerVersionTest : public EnterpriseServerTest,
                                    public ::testing::WithParamInterface<std::pair<int, bool>> {};

TEST_P(EnterpriseServerVersionTest, RefusesUntilLoggedInAndHidesPasswordHashes) {
    const auto [version, tls] = GetParam();
    start(tls);
    RawEnterpriseClient client(server->serverPort(), *ProtocolVersions::fromRaw(version), tls);
    if (version != 1) {
        ASSERT_TRUE(client.keyExchange());
    }
    EXPECT_EQ(result(client.send(EnterpriseRequests::listDatabases(client.protocol))),
              IProtocol::ERR_NOT_LOGGED_IN);
    EXPECT_EQ(result(client.login(QStringLiteral("alice"), QStringLiteral("pw-b"))),
              IProtocol::ERR_WRONG_CREDENTIALS);
    EXPECT_EQ(result(client.login(QStringLiteral("alice"), QStringLiteral("pw-a"))),
              IProtocol::ERR_SUCCESS);
    EXPECT_EQ(client.handler.lastMode(), client.protocol.encryptionMode());

    // Listing and opening through every version are the client's session tests.
    const auto list = client.send(EnterpriseRequests::listDatabases(client.protocol));
    EXPECT_EQ(
        EnterpriseRequests::parseDatabaseList(list.value_or(TCSDataPacket(client.protocol))).size(),
        1);
    const auto info = client.send(EnterpriseRequests::serverInfo(client.protocol));
    const QJsonArray users =
        QJsonDocument::fromJson(info.value_or(TCSDataPacket(client.protocol)).data2())
            .object()
            .value(QStringLiteral("users"))
            .toArray();
    ASSERT_EQ(users.size(), 1);
    EXPECT_EQ(users[0].toObject().value(QStringLiteral("roles")), QStringLiteral("4"));
    EXPECT_FALSE(users[0].toObject().contains(QStringLiteral("passwordHash")));
}

INSTANTIATE_TEST_SUITE_P(Versions, EnterpriseServerVersionTest,
                         ::testing::Values(std::pair{1, false}, std::pair{2, false},
                                           std::pair{3, true}));

TEST_F(EnterpriseServerTest, AnswerCutShortForClientTests) {
    options.cutAnswersTo = 20;
    start();
    RawEnterpriseClient client(server->serverPort(), ProtocolVersion::version1);
    EXPECT_FALSE(client.login(QStringLiteral("alice"), QStringLiteral("pw-a")));
    EXPECT_EQ(client.handler.buffered(), 20);
    EXPECT_TRUE(client.closedByServer());
}

TEST_F(EnterpriseServerTest, PasswordChangeThenTwoFactorActivationCodesAndTrust) {
    start();
    ServerUser bob = *server->users().findById(
        *server->users().addUser(QStringLiteral("bob"), QStringLiteral("old"), {}, 0));
    bob.mustChangePassword = true;
    bob.twoFactorRequired = true;
    QString error;
    ASSERT_TRUE(server->users().update(bob, &error));

    auto client =
        std::make_unique<RawEnterpriseClient>(server->serverPort(), ProtocolVersion::version2);
    ASSERT_TRUE(client->keyExchange());
    EXPECT_EQ(result(client->login(QStringLiteral("bob"), QStringLiteral("old"))),
              IProtocol::CHANGE_PASSWORD_REQUIRED);
    EXPECT_EQ(result(client->send(EnterpriseRequests::changePassword(
                  client->protocol, QStringLiteral("bob"), QStringLiteral("old"),
                  QStringLiteral("new")))),
              IProtocol::ERR_SUCCESS);
    EXPECT_EQ(result(client->login(QStringLiteral("bob"), QStringLiteral("old"))),
              IProtocol::ERR_WRONG_CREDENTIALS);

    const auto demand = client->login(QStringLiteral("bob"), QStringLiteral("new"));
    ASSERT_EQ(result(demand), IProtocol::TWO_FACTOR_CODE_NOT_ACTIVATED);
    EXPECT_TRUE(demand->data2().startsWith("\x89PNG"));
    const QByteArray secret = *Totp::fromBase32(QString::fromUtf8(demand->data3()));
    const auto activate = [&](const QString& code) {
        return result(client->send(
            EnterpriseRequests::activate2FA(client->protocol, QStringLiteral("bob"),
                                            ConnectionData2FA(client->token, code, {}, false))));
    };
    EXPECT_EQ(activate(Totp::code(secret, now + 300)), IProtocol::TWO_FACTOR_CODE_WRONG);
    EXPECT_EQ(activate(Totp::code(secret, now)), IProtocol::ERR_SUCCESS);

    client = std::make_unique<RawEnterpriseClient>(server->serverPort(), ProtocolVersion::version2);
    ASSERT_TRUE(client->keyExchange());
    const auto required = client->login(QStringLiteral("bob"), QStringLiteral("new"));
    ASSERT_EQ(result(required), IProtocol::TWO_FACTOR_CODE_REQUIRED);
    EXPECT_EQ(required->data2(), QByteArray("-1"));
    // The activation code was used up; the next step's code is good, once.
    EXPECT_EQ(result(client->login(QStringLiteral("bob"), QStringLiteral("new"),
                                   Totp::code(secret, now))),
              IProtocol::TWO_FACTOR_CODE_WRONG);
    now += 30;
    EXPECT_EQ(result(client->login(QStringLiteral("bob"), QStringLiteral("new"),
                                   Totp::code(secret, now), true)),
              IProtocol::ERR_SUCCESS);
    // The trusted device needs no code; another device does.
    EXPECT_EQ(result(client->login(QStringLiteral("bob"), QStringLiteral("new"))),
              IProtocol::ERR_SUCCESS);
    client->token = QStringLiteral("device-2");
    EXPECT_EQ(result(client->login(QStringLiteral("bob"), QStringLiteral("new"))),
              IProtocol::TWO_FACTOR_CODE_REQUIRED);
    EXPECT_FALSE(QFile(dir.file(QStringLiteral("users.json"))).readAll().contains("device-1"));
}

struct BadClient {
    const char* name;
    QByteArray (*bytes)(RawEnterpriseClient&);
    bool closeAfterSending;
};

QByteArray headerWithLength(quint32 length) {
    QByteArray header("KRSK\0\0\0\0\x02\x01\0\0", 12);
    qToLittleEndian<quint32>(length, header.data() + 4);
    return header;
}

class EnterpriseServerBadClientTest : public EnterpriseServerTest,
                                      public ::testing::WithParamInterface<BadClient> {};

TEST_P(EnterpriseServerBadClientTest, SessionEndsAndOthersAreServed) {
    start();
    auto bystander = loggedIn(QStringLiteral("alice"), QStringLiteral("pw-a"));
    RawEnterpriseClient bad(server->serverPort(), ProtocolVersion::version2);
    bad.socket->write(GetParam().bytes(bad));
    if (GetParam().closeAfterSending) {
        bad.socket->close();
    }
    // The others are answered while the bad session lingers, until it is closed.
    for (int i = 0; i < 20 && !bad.closed(); ++i) {
        EXPECT_EQ(result(bystander->send(EnterpriseRequests::listDatabases(bystander->protocol))),
                  IProtocol::ERR_SUCCESS);
        QTest::qWait(250);
    }
    EXPECT_TRUE(bad.closed());
    EXPECT_TRUE(QTest::qWaitFor([this] { return server->sessionCount() == 1; }, 5000));
    loggedIn(QStringLiteral("alice"), QStringLiteral("pw-a"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnterpriseServerBadClientTest,
    ::testing::Values(
        BadClient{"Silent", [](RawEnterpriseClient&) { return QByteArray(); }, false},
        BadClient{"Garbage", [](RawEnterpriseClient&) { return QByteArray(200000, 'K'); }, false},
        BadClient{"NegativeLength", [](RawEnterpriseClient&) { return headerWithLength(1u << 31); },
                  false},
        BadClient{"LengthBeyondBound",
                  [](RawEnterpriseClient&) { return headerWithLength(0x7FFFFFFF) + "x"; }, false},
        BadClient{"WrongKey",
                  [](RawEnterpriseClient& c) {
                      return EnterpriseRequests::listDatabases(c.protocol)
                          .toBytes(Key256::random(), TCSDataPacket::DATA_PACKET_ENCRYPT_CBC);
                  },
                  false},
        BadClient{"ClosesMidPacket",
                  [](RawEnterpriseClient& c) {
                      return EnterpriseRequests::listDatabases(c.protocol)
                          .toBytes(c.key, TCSDataPacket::DATA_PACKET_ENCRYPT_CBC)
                          .chopped(5);
                  },
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnterpriseServerTest, EntryEditsAndAccessRightsChangeTheStoredDatabase) {
    start();
    server->users().addUser(QStringLiteral("bob"), QStringLiteral("pw-b"), {}, 0);
    auto a = loggedIn(QStringLiteral("alice"), QStringLiteral("pw-a"));
    auto b = loggedIn(QStringLiteral("bob"), QStringLiteral("pw-b"));
    const QString db = server->databases().databases().first().id;
    auto folder = Info2Item::createFolder(QStringLiteral("Shared"));
    auto entry = Info2Item::create(Info2Item::TypePassword, QStringLiteral("Router"));
    const auto edit = [&](RawEnterpriseClient& c, ProtocolCommand command, const QString& id,
                          const QString& parent, const Info2Item* item) {
        return result(c.send(EnterpriseRequests::entryEdit(
            c.protocol, command, db, id, parent,
            item ? PassFileCodec::serializeItem(*item) : QByteArray())));
    };
    const QString f = folder->fingerprint(), e = entry->fingerprint();
    EXPECT_EQ(edit(*a, ProtocolCommand::addFolder, f, {}, folder.get()), IProtocol::ERR_SUCCESS);
    EXPECT_EQ(edit(*a, ProtocolCommand::addItem, e, QStringLiteral("nowhere"), entry.get()),
              IProtocol::ERR_NOT_FOUND);
    EXPECT_EQ(edit(*a, ProtocolCommand::addItem, e, f, entry.get()), IProtocol::ERR_SUCCESS);
    EXPECT_EQ(edit(*a, ProtocolCommand::addItem, e, f, entry.get()),
              IProtocol::ERR_WRONG_PARAMETERS);
    EXPECT_EQ(edit(*a, ProtocolCommand::moveFolder, f, f, nullptr),
              IProtocol::ERR_WRONG_PARAMETERS);
    folder->setDescription(QStringLiteral("Shared renamed"));
    EXPECT_EQ(edit(*b, ProtocolCommand::updateFolder, f, {}, folder.get()), IProtocol::ERR_SUCCESS);

    AccessPermission permission;
    permission.id = QStringLiteral("perm-1");
    permission.userId = QStringLiteral("2");
    permission.rights = 3;
    EXPECT_EQ(result(a->send(EnterpriseRequests::grantAccess(a->protocol, db, e, permission))),
              IProtocol::ERR_SUCCESS);
    EXPECT_EQ(result(b->send(EnterpriseRequests::sealedAccessRequest(b->protocol, db, e,
                                                                     permission.id, "why"))),
              IProtocol::ERR_WRONG_PARAMETERS);
    EXPECT_EQ(result(b->send(EnterpriseRequests::revokeAccess(b->protocol, db, permission.id))),
              IProtocol::ERR_ACCESS_DENIED);

    PassFile stored = server->databases().read(server->databases().databases().first());
    const auto storedFolder = stored.findItem(f);
    ASSERT_TRUE(storedFolder);
    // The folder's update kept what lies in it.
    EXPECT_EQ(storedFolder->description(), QStringLiteral("Shared renamed"));
    ASSERT_EQ(storedFolder->subItems().size(), 1u);
    ASSERT_EQ(storedFolder->subItems()[0]->accessPermissions().size(), 1);
    EXPECT_EQ(storedFolder->subItems()[0]->accessPermissions()[0].grantedBy, alice);

    EXPECT_EQ(result(a->send(EnterpriseRequests::revokeAccess(a->protocol, db, permission.id))),
              IProtocol::ERR_SUCCESS);
    EXPECT_EQ(edit(*a, ProtocolCommand::deleteFolder, f, {}, nullptr), IProtocol::ERR_SUCCESS);
    stored = server->databases().read(server->databases().databases().first());
    EXPECT_FALSE(stored.findItem(e));
    EXPECT_EQ(stored.itemCount(), SampleDatabase::full().itemCount());
}

} // namespace
} // namespace keskor::testing
