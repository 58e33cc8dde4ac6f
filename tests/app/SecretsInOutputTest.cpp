// Runs keskor-cli, the headless bridge and the demonstration with known secrets (master
// passwords right and wrong, entry passwords, the bridge password) and looks for them in
// everything the programs leave readable: both output streams and every file of the profile
// (settings, recent list, backups, logs), as UTF-8 and as UTF-16.

#include "core/DemoDatabase.h"
#include "tests/app/CliTestBase.h"

#include <QDirIterator>
#include <QTcpServer>
#include <QTest>
#include <QWebSocket>
#include <csignal>

namespace keskor::test {
namespace {

const QString kEntrySecret = QStringLiteral("Entry-Secret-4412-qq");
const QString kImportSecret = QStringLiteral("Import-Secret-5150-jj");
const QString kBridgeSecret = QStringLiteral("Bridge-Secret-9090-kk");
const QString kWrongSecret = QStringLiteral("Wrong-Secret-3003-xx");

class SecretsInOutputTest : public CliTestBase {
protected:
    const QString kMasterText = QString::fromUtf8(kMaster.trimmed());
    QByteArray seen; // every stream of every run

    void expectNoSecret(const QStringList& secrets) {
        QByteArray all = seen;
        for (QDirIterator it(cli.home(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            all += bytes(it.next());
        }
        ASSERT_FALSE(all.isEmpty());
        for (const QString& secret : secrets) {
            EXPECT_FALSE(all.contains(secret.toUtf8())) << secret.toStdString();
            EXPECT_FALSE(all.contains(
                QByteArray(reinterpret_cast<const char*>(secret.utf16()), secret.size() * 2)))
                << secret.toStdString() << " as UTF-16";
        }
    }
    CliResult cliRun(const QStringList& arguments, const QByteArray& input = kMaster) {
        const CliResult r = run(arguments, input);
        seen += r.out.toUtf8() + r.err.toUtf8();
        return r;
    }
};

TEST_F(SecretsInOutputTest, TheCommandLineProgramShowsNoSecretUnlessAsked) {
    createDatabase();
    const QByteArray entryInput = kMaster + kEntrySecret.toUtf8() + '\n';
    EXPECT_EQ(cliRun({"add", db, "Bank", "-u", "ann", "--password-stdin"}, entryInput).exitCode, 0);
    dir.write(QStringLiteral("in.csv"),
              "title,password\nImported," + kImportSecret.toUtf8() + "\n");
    EXPECT_EQ(cliRun({"import", db, dir.file(QStringLiteral("in.csv"))}).exitCode, 0);
    EXPECT_EQ(
        cliRun({"settings", "set", "setting_addon_protect_password"}, kBridgeSecret.toUtf8() + '\n')
            .exitCode,
        0);
    for (const QStringList& args : {QStringList{"show", db, "Bank"},
                                    {"ls", db},
                                    {"search", db, "Bank"},
                                    {"analyze", db},
                                    {"backups", db},
                                    {"recent"},
                                    {"settings", "list"},
                                    {"settings", "get", "setting_addon_protect_password"},
                                    {"show", db, "Nothing"},
                                    {"edit", db, "Bank", "--password-stdin"}}) {
        cliRun(args, entryInput);
    }
    EXPECT_NE(cliRun({"ls", db}, kWrongSecret.toUtf8() + '\n').exitCode, 0);
    EXPECT_NE(cliRun({"import", db, dir.file(QStringLiteral("in.csv")), "--format", "keepass-xml"})
                  .exitCode,
              0);
    expectNoSecret({kMasterText, kEntrySecret, kImportSecret, kBridgeSecret, kWrongSecret});
}

TEST_F(SecretsInOutputTest, TheHeadlessBridgeShowsNoSecret) {
    createDatabase();
    cliRun({"add", db, "Bank", "--url", "https://bank.example/", "--password-stdin"},
           kMaster + kEntrySecret.toUtf8() + '\n');
    cliRun({"settings", "set", "setting_addon_protect_password"}, kBridgeSecret.toUtf8() + '\n');
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    cliRun({"settings", "set", "setting_addon_websocket_port", port});

    QProcess keskor;
    keskor.start(QStringLiteral(KESKOR_BINARY),
                 {"--headless", "--profile", cli.home(), "--database", db});
    keskor.write(kMaster);
    keskor.closeWriteChannel();
    QWebSocket socket;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (socket.state() == QAbstractSocket::UnconnectedState &&
                keskor.state() == QProcess::Running) {
                socket.open(QUrl(QStringLiteral("ws://127.0.0.1:") + port + u'/'));
            }
            return socket.state() == QAbstractSocket::ConnectedState;
        },
        30000));
    QStringList replies;
    QObject::connect(&socket, &QWebSocket::textMessageReceived,
                     [&](const QString& text) { replies.append(text); });
    const QString query = QStringLiteral(R"({"cmd":"queryURL","url":"https://bank.example/")");
    for (const QString& message :
         {query + u'}', query + R"(,"password":")" + kWrongSecret + R"("})",
          query + R"(,"password":")" + kBridgeSecret + R"("})", QStringLiteral("{not json"),
          QStringLiteral(R"({"cmd":"searchEntries","term":"Bank"})")}) {
        socket.sendTextMessage(message);
    }
    socket.sendBinaryMessage(kBridgeSecret.toUtf8());
    ASSERT_TRUE(QTest::qWaitFor([&] { return replies.size() >= 3; }, 10000));
    ::kill(static_cast<pid_t>(keskor.processId()), SIGTERM);
    ASSERT_TRUE(keskor.waitForFinished(30000));
    seen += keskor.readAllStandardOutput() + keskor.readAllStandardError();
    expectNoSecret({kMasterText, kEntrySecret, kBridgeSecret, kWrongSecret});
}

TEST_F(SecretsInOutputTest, TheDemonstrationShowsNoEntrySecret) {
    QProcess demo;
    demo.start(QStringLiteral(KESKOR_DEMO_BINARY), {"--profile", cli.home()});
    ASSERT_TRUE(demo.waitForFinished(60000));
    EXPECT_EQ(demo.exitCode(), 0);
    seen = demo.readAllStandardOutput() + demo.readAllStandardError();
    QStringList secrets;
    const PassFile demoFile = DemoDatabase::create();
    std::function<void(const Info2Item&)> collect = [&](const Info2Item& item) {
        if (item.password() && !item.password()->isEmpty()) {
            secrets.append(*item.password());
        }
        for (const auto& child : item.subItems()) {
            collect(*child);
        }
    };
    collect(demoFile.root());
    ASSERT_FALSE(secrets.isEmpty());
    expectNoSecret(secrets);
}

} // namespace
} // namespace keskor::test
