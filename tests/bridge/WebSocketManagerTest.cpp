#include "bridge/WebSocketManager.h"

#include "bridge/ZenWebSocketServer.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTest>
#include <QWebSocket>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::testing::ScriptedPresenter;

namespace {

class WebSocketManagerTest : public ::testing::Test {
protected:
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    SettingManager settings{defaults, keychain};
    SessionManager session;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    WebSocketManager manager{session, settings, presenter, [](const QString& k) { return k; }};
    QList<QJsonObject> replies;
    QString myBankUuid;

    void SetUp() override {
        manager.replySink = [this](const QByteArray& json) {
            replies.append(QJsonDocument::fromJson(json).object());
        };
    }
    void openDatabase() {
        PassFile file = keskor::testing::SampleDatabase::large(0);
        auto bank = Info2Item::createFolder(QStringLiteral("Banking"));
        auto online = Info2Item::createFolder(QStringLiteral("Online"));
        auto exact = Info2Item::create(1, QStringLiteral("My bank"));
        exact->setUrl(QStringLiteral("https://bank.example/login?x=1"));
        exact->setUserName(QStringLiteral("alice"));
        myBankUuid = exact->fingerprint();
        auto other = Info2Item::create(1, QStringLiteral("Bank by suffix"));
        other->setUrl(QStringLiteral("https://other.example"));
        other->addAdditionalUrl(QStringLiteral("*bank.example"));
        online->addSubItem(other);
        online->addSubItem(exact);
        bank->addSubItem(online);
        file.addItem(bank);
        session.open({QStringLiteral("db.pswd"), QStringLiteral("/tmp")}, file,
                     Credentials(QStringLiteral("pw"), std::nullopt));
    }
    void send(const QByteArray& json) {
        const QJsonDocument doc = QJsonDocument::fromJson(json);
        manager.handleCommand(doc.isObject() ? doc.object().toVariantMap() : QVariantMap());
    }
};

TEST_F(WebSocketManagerTest, CheckStateInAnyCaseEchoesTheRequest) {
    send(R"({"cmd":"CHECKSTATE","extra":7})");
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies[0].value("cmd").toString(), QStringLiteral("CHECKSTATE"));
    EXPECT_EQ(replies[0].value("state").toString(), QStringLiteral("ready")) << "no database open";
    EXPECT_EQ(replies[0].value("clientAlive").toString(), QStringLiteral("1"));
    EXPECT_EQ(replies[0].value("clientVersion").toString(), QStringLiteral("14"));
    EXPECT_EQ(replies[0].value("extra").toInt(), 7);
    EXPECT_EQ(replies[0].value("encoding").toString(), QStringLiteral("base64"));
    session.isLocked = true;
    send(R"({"cmd":"checkState"})");
    EXPECT_EQ(replies.last().value("state").toString(), QStringLiteral("locked"));
}

TEST_F(WebSocketManagerTest, ArraysNumbersAndMistypedValuesSendNothing) {
    openDatabase();
    send(R"({"cmd":"checkState"})");
    send("[1,2]");
    EXPECT_TRUE(manager.prevCmdData().isEmpty()) << "a non-object is an empty request";
    send("42");
    send(R"({"cmd":"queryURL","url":17})");
    send(R"({"cmd":5})");
    send("not json at all");
    EXPECT_EQ(replies.size(), 1);
}

TEST_F(WebSocketManagerTest, QueryUrlListsExactAddressesFirstWithTheirLocations) {
    openDatabase();
    // Equal to the first entry's URL but for letter case; the second matches by its suffix.
    send(R"({"cmd":"queryURL","url":"HTTPS://bank.example/login?x=1"})");
    ASSERT_EQ(replies.size(), 1);
    const QJsonObject r = replies[0];
    EXPECT_EQ(r.value("matches").toString(), QStringLiteral("2"));
    const QJsonArray descrs = r.value("descrs").toArray();
    ASSERT_EQ(descrs.size(), 2);
    EXPECT_EQ(descrs[0].toString(), QStringLiteral("My bank"))
        << "same address before the query first";
    EXPECT_EQ(descrs[1].toString(), QStringLiteral("Bank by suffix"));
    EXPECT_EQ(r.value("paths").toArray()[0].toString(), QStringLiteral("Banking/Online/My bank"));
    EXPECT_EQ(r.value("users").toArray()[1].toString(), QString())
        << "missing values are empty texts";
    EXPECT_EQ(r.value("entries").toArray().size(), 2);
}

TEST_F(WebSocketManagerTest, IgnoredUrlsUseTwoDifferentTests) {
    openDatabase();
    send(R"({"cmd":"ignore","url":"https://Bank.example/login"})");
    EXPECT_TRUE(replies.isEmpty());
    send(R"({"cmd":"isIgnoredURL","url":"https://bank.example/login?session=9"})");
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies[0].value("result").toInt(), 1);
    send(R"({"cmd":"queryURL","url":"https://bank.example/login?session=9"})");
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[1].value("matches").toString(), QStringLiteral("1"))
        << "the query test needs the whole text to be equal, so it still searches";
    send(R"({"cmd":"queryURL","url":"https://Bank.example/login"})");
    EXPECT_FALSE(replies.last().contains("matches")) << "exactly ignored: empty reply";
}

TEST_F(WebSocketManagerTest, SearchFindsByDescriptionUrlOrUserAndAnEmptyTermNothing) {
    send(R"({"cmd":"searchEntries","term":"bank"})");
    ASSERT_EQ(replies.size(), 1);
    EXPECT_FALSE(replies[0].contains("matches")) << "no database: an empty reply";
    openDatabase();
    send(R"({"cmd":"searchEntries","term":"ALICE"})");
    EXPECT_EQ(replies.last().value("matches").toInt(), 1);
    EXPECT_EQ(replies.last().value("entries").toArray()[0].toObject().value("name").toString(),
              QStringLiteral("My bank"));
    send(R"({"cmd":"searchEntries","term":""})");
    EXPECT_EQ(replies.last().value("matches").toInt(), 0);
    EXPECT_TRUE(replies.last().value("entries").toArray().isEmpty());
    session.isLocked = true;
    const auto before = replies.size();
    send(R"({"cmd":"searchEntries","term":"bank"})");
    EXPECT_EQ(replies.size(), before) << "locked: nothing";
}

TEST_F(WebSocketManagerTest, TheBridgePasswordIsAskedOncePerConnectionPeriod) {
    openDatabase();
    settings.setAddonProtectPassword(QStringLiteral("bridge-secret"));
    send(R"({"cmd":"queryURL","url":"https://bank.example/login?x=1"})");
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(replies[0].value("error").toString(), QStringLiteral("passwordRequired"));
    EXPECT_FALSE(replies[0].contains("encoding"));
    send(R"({"cmd":"queryURL","url":"https://bank.example/login?x=1","password":"bridge-secret"})");
    EXPECT_EQ(replies.last().value("matches").toString(), QStringLiteral("2"));
    send(R"({"cmd":"queryURL","url":"https://bank.example/login?x=1"})");
    EXPECT_EQ(replies.last().value("matches").toString(), QStringLiteral("2")) << "remembered";
    send(R"({"cmd":"queryURL","url":"https://bank.example/login?x=1","password":"wrong"})");
    EXPECT_EQ(replies.last().value("matches").toString(), QStringLiteral("2"))
        << "the remembered password is checked before the presented one";
    settings.setAddonProtectPassword(QStringLiteral("changed"));
    send(R"({"cmd":"queryURL","url":"https://bank.example/login?x=1"})");
    EXPECT_EQ(replies.last().value("error").toString(), QStringLiteral("passwordRequired"))
        << "the old presented password no longer matches";
    send(R"({"cmd":"queryURL","url":"https://bank.example/login?x=1","password":"changed"})");
    EXPECT_EQ(replies.last().value("matches").toString(), QStringLiteral("2"));
    send(R"({"cmd":"checkState"})");
    EXPECT_EQ(replies.last().value("state").toString(), QStringLiteral("ready"))
        << "other commands need no password";
}

TEST_F(WebSocketManagerTest, ARepeatedPostDoesNothingAndARefusedOneKeepsThePreviousRequest) {
    manager.handleCommand({{"cmd", "postWebForm"}, {"url", "https://a.example"}});
    EXPECT_FALSE(manager.isRepeatedPost({{"cmd", "postWebForm"}, {"url", "https://b.example"}}));
    EXPECT_TRUE(manager.isRepeatedPost({{"cmd", "postWebForm"}, {"url", "https://a.example"}}));
    EXPECT_FALSE(manager.isRepeatedPost({{"cmd", "POSTWEBFORM"}, {"url", "https://a.example"}}));
    manager.handleCommand({{"cmd", "loadWebform"}, {"xml", "PGE+"}});
    EXPECT_TRUE(manager.isRepeatedPost({{"cmd", "loadWebform"}, {"xml", "PGE+"}}));

    openDatabase();
    settings.setAddonProtectPassword(QStringLiteral("bridge-secret"));
    manager.handleCommand({{"cmd", "checkState"}});
    const QVariantMap before = manager.prevCmdData();
    send(R"({"cmd":"postWebForm","title":"t","url":"https://new.example","xml":"PGE+"})");
    EXPECT_EQ(manager.prevCmdData(), before);
    EXPECT_TRUE(presenter.calls().isEmpty());
}

TEST_F(WebSocketManagerTest, SettingsGatesSilenceFillAndPost) {
    openDatabase();
    settings.setAddonAutoFill(false);
    send(R"({"cmd":"queryURL","url":"https://bank.example/login"})");
    send(R"({"cmd":"loadWebform","url":"https://bank.example/login","xml":"PGE+"})");
    EXPECT_TRUE(replies.isEmpty());
}

TEST_F(WebSocketManagerTest, EditEntryAndGeneratorGoThroughThePresenter) {
    openDatabase();
    send(QJsonDocument(QJsonObject{{"cmd", "editEntry"}, {"uuid", myBankUuid}}).toJson());
    send(R"({"cmd":"editEntry","uuid":"no-such-entry"})");
    send(R"({"cmd":"genPassword"})");
    const QStringList t = presenter.transcript();
    ASSERT_EQ(t.size(), 4) << t.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(t[0], QStringLiteral("bringToFront"));
    EXPECT_TRUE(t[1].startsWith(QStringLiteral("dialog EntryDetailViewController")));
    EXPECT_TRUE(t[1].contains(QStringLiteral("properties_of My bank"))) << t[1].toStdString();
    EXPECT_TRUE(t[3].startsWith(QStringLiteral("dialog PasswordGeneratorViewController")));
}

// Over real connections: replies go to the connection that asked, and a presented bridge
// password is forgotten as soon as any connection opens or closes.
class WebSocketManagerOverSockets : public WebSocketManagerTest {
protected:
    void SetUp() override {
        openDatabase();
        manager.startServer(0);
        ASSERT_NE(manager.port(), 0);
    }
    std::unique_ptr<QWebSocket> connect() {
        auto socket = std::make_unique<QWebSocket>();
        socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(manager.port())));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return socket->state() == QAbstractSocket::ConnectedState; }, 10000));
        return socket;
    }
    static QJsonObject ask(QWebSocket& socket, const QByteArray& json) {
        QString reply;
        const auto c = QObject::connect(&socket, &QWebSocket::textMessageReceived,
                                        [&](const QString& text) { reply = text; });
        socket.sendTextMessage(QString::fromUtf8(json));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !reply.isEmpty(); }, 10000)) << json.data();
        QObject::disconnect(c);
        return QJsonDocument::fromJson(reply.toUtf8()).object();
    }
};

TEST_F(WebSocketManagerOverSockets, ANewConnectionMakesTheOthersPresentThePasswordAgain) {
    settings.setAddonProtectPassword(QStringLiteral("bridge-secret"));
    const auto first = connect();
    const QByteArray query = R"({"cmd":"queryURL","url":"https://bank.example/login?x=1"})";
    EXPECT_EQ(ask(*first, R"({"cmd":"queryURL","url":"https://bank.example/login?x=1",)"
                          R"("password":"bridge-secret"})")
                  .value("matches")
                  .toString(),
              QStringLiteral("2"));
    EXPECT_EQ(ask(*first, query).value("matches").toString(), QStringLiteral("2"));

    const auto second = connect();
    EXPECT_EQ(ask(*second, R"({"cmd":"checkState"})").value("state").toString(),
              QStringLiteral("ready"))
        << "the reply goes to the connection that asked";
    EXPECT_EQ(ask(*first, query).value("error").toString(), QStringLiteral("passwordRequired"));

    EXPECT_EQ(ask(*first, R"({"cmd":"queryURL","url":"https://bank.example/login?x=1",)"
                          R"("password":"bridge-secret"})")
                  .value("matches")
                  .toString(),
              QStringLiteral("2"));
    second->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return manager.socketServer()->clientCount() == 1; }, 10000));
    EXPECT_EQ(ask(*first, query).value("error").toString(), QStringLiteral("passwordRequired"))
        << "a closed connection clears it too";
}

TEST_F(WebSocketManagerOverSockets, APortChangeMovesTheServer) {
    const int before = manager.port();
    const auto client = connect();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 next = probe.serverPort();
    probe.close();
    manager.restartServer(next);
    ASSERT_EQ(manager.port(), next);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return client->state() == QAbstractSocket::UnconnectedState; }, 10000))
        << "the old server's connections end with it";
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, static_cast<quint16>(before)))
        << "the old port is free again";
    probe.close();
    const auto moved = connect();
    EXPECT_EQ(ask(*moved, R"({"cmd":"checkState"})").value("clientAlive").toString(),
              QStringLiteral("1"));
}

TEST_F(WebSocketManagerOverSockets, TheDebugLogKeepsEveryMessageAndReplyInOrder) {
    keskor::test::TempDir dir;
    const QString log = dir.file(QStringLiteral("bridge.log"));
    manager.debug_log_file_path = log;
    const auto client = connect();
    ask(*client, R"({"cmd":"checkState","n":1})");
    ask(*client, R"({"cmd":"checkState","n":2})");
    const QStringList lines =
        QString::fromUtf8(dir.read(QStringLiteral("bridge.log"))).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << lines.join(u'|').toStdString();
    EXPECT_EQ(lines[0], QStringLiteral(R"({"cmd":"checkState","n":1})"));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("\"clientAlive\":\"1\"")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("\"n\":2")));
}

} // namespace
