// The bridge under load: many browser connections ask at once while the database is saved
// over and over on the main thread, and one client asks for large answers without reading
// them. Every answer must reach the connection that asked, in order and complete, and the
// client that does not read must not hold up the others.

#include "bridge/WebSocketManager.h"
#include "bridge/ZenWebSocketServer.h"
#include "core/FileFunctions.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "core/shared/KeyHelper.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"
#include "tests/bridge/RawClient.h"
#include "tests/support/TempDir.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#include <gtest/gtest.h>

namespace keskor {
namespace {

constexpr int kClients = 200;
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer run looks for memory faults, not for throughput: a quarter of the traffic keeps
// it well inside the per-test time limit on two cores.
constexpr int kMessages = 250;
#else
constexpr int kMessages = 1000;
#endif
constexpr int kInFlight = 4; // requests each client keeps outstanding

struct Client {
    QWebSocket socket;
    int sent = 0;
    int answered = 0;
    QString fault;
};

TEST(BridgeLoadTest, EveryConnectionGetsEachOfItsAnswersWhileTheDatabaseIsSaved) {
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    SettingManager settings{defaults, keychain};
    SessionManager session;
    keskor::testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    WebSocketManager manager{session, settings, presenter, [](const QString& k) { return k; }};
    PassFile file = keskor::testing::SampleDatabase::large(1000);
    auto bank = Info2Item::create(1, QStringLiteral("My bank"));
    bank->setUrl(QStringLiteral("https://bank.example/login"));
    bank->setUserName(QStringLiteral("alice"));
    file.addItem(bank);
    session.open({QStringLiteral("db.pswd"), QStringLiteral("/tmp")}, file,
                 Credentials(QStringLiteral("pw"), std::nullopt));
    manager.startServer(0);
    ASSERT_NE(manager.port(), 0);
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/").arg(manager.port()));

    // Asks for the whole database again and again and never reads an answer.
    test::RawClient stalled(static_cast<quint16>(manager.port()));
    ASSERT_TRUE(stalled.open());
    stalled.socket.setReadBufferSize(1);
    for (int i = 0; i < 300; ++i) {
        stalled.send(test::RawClient::text(R"({"cmd":"searchEntries","term":"e"})"));
    }

    std::vector<std::unique_ptr<Client>> clients;
    const auto ask = [](Client& c, int index) {
        c.socket.sendTextMessage(
            QStringLiteral(R"({"cmd":"queryURL","url":"https://bank.example/login","c":%1,"n":%2})")
                .arg(index)
                .arg(c.sent++));
    };
    for (int index = 0; index < kClients; ++index) {
        auto& c = *clients.emplace_back(std::make_unique<Client>());
        QObject::connect(&c.socket, &QWebSocket::connected, [&c, index, ask] {
            for (int i = 0; i < kInFlight; ++i) {
                ask(c, index);
            }
        });
        QObject::connect(
            &c.socket, &QWebSocket::textMessageReceived, [&c, index, ask](const QString& text) {
                const QJsonObject reply = QJsonDocument::fromJson(text.toUtf8()).object();
                if (c.fault.isEmpty() &&
                    (reply.value("c").toInt(-1) != index ||
                     reply.value("n").toInt(-1) != c.answered ||
                     reply.value("matches").toString() != QStringLiteral("1"))) {
                    c.fault = text.left(200);
                }
                if (++c.answered + kInFlight <= kMessages) {
                    ask(c, index);
                }
            });
        c.socket.open(url);
    }

    // Saves of the open database on the main thread, where the bridge answers too.
    test::TempDir dir;
    KeyHelper keys;
    const Key256 key =
        keys.keyFromCredentials(*session.currentPassFile, *session.currentCredential);
    int saves = 0;
    QTimer saver;
    QObject::connect(&saver, &QTimer::timeout, [&] {
        FileFunctions::writeDatabase(dir.file(QStringLiteral("db.pswd")), key,
                                     *session.currentPassFile);
        ++saves;
    });
    saver.start(50);

    const auto done = [&] {
        return std::all_of(clients.begin(), clients.end(),
                           [](const auto& c) { return c->answered == kMessages; });
    };
    const bool finished = QTest::qWaitFor(done, 300000);
    saver.stop();
    int answered = 0;
    for (const auto& c : clients) {
        EXPECT_TRUE(c->fault.isEmpty()) << c->fault.toStdString();
        answered += c->answered;
    }
    ASSERT_TRUE(finished) << answered << " of " << kClients * kMessages << " answers";
    EXPECT_GT(saves, 0);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return manager.socketServer()->clientCount() == kClients; }, 30000))
        << "the client that does not read is dropped once its answers pile up";
}

} // namespace
} // namespace keskor
