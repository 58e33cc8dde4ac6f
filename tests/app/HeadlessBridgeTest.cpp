// The program as a user runs it: `keskor --headless --database DB` with the master password on
// standard input serves the browser bridge until SIGTERM. The bridge is queried by a page in
// headless Chromium, independent of our server code.

#include "core/FileFunctions.h"
#include "core/shared/Credentials.h"
#include "core/shared/Info2Item.h"
#include "core/shared/KeyHelper.h"
#include "platform/AppPaths.h"
#include "platform/QSettingsDefaultsStore.h"
#include "testing/SampleDatabase.h"
#include "tests/support/TempDir.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>
#include <csignal>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::test::TempDir;

namespace {

const QString kPassword = QStringLiteral("correct horse battery staple");

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class HeadlessBridgeTest : public ::testing::Test {
protected:
    TempDir dir;
    QString profile = dir.file(QStringLiteral("profile"));
    QString database = dir.file(QStringLiteral("family.pswd"));
    quint16 port = freePort();
    QProcess keskor;
    QByteArray errors;

    void SetUp() override {
        PassFile file = keskor::testing::SampleDatabase::large(50);
        auto entry = Info2Item::create(1, QStringLiteral("My bank"));
        entry->setUrl(QStringLiteral("https://bank.example/login"));
        entry->setUserName(QStringLiteral("alice"));
        file.addItem(entry);
        KeyHelper keys;
        FileFunctions::writeDatabase(
            database, keys.keyFromCredentials(file, Credentials(kPassword, std::nullopt)), file);
        const AppPaths paths(profile);
        QSettingsDefaultsStore(paths.settingsFile())
            .setInteger(QStringLiteral("setting_addon_websocket_port"), port);
    }

    void TearDown() override {
        if (keskor.state() != QProcess::NotRunning) {
            keskor.kill();
            keskor.waitForFinished();
        }
    }

    /// Starts the program and waits until it reports the bridge as started.
    bool start(const QString& password) {
        keskor.setProgram(QStringLiteral(KESKOR_BINARY));
        keskor.setArguments({QStringLiteral("--headless"), QStringLiteral("--profile"), profile,
                             QStringLiteral("--database"), database});
        keskor.start();
        if (!keskor.waitForStarted()) {
            return false;
        }
        keskor.write((password + QLatin1Char('\n')).toUtf8());
        keskor.closeWriteChannel();
        return QTest::qWaitFor(
                   [&] {
                       errors += keskor.readAllStandardError();
                       return errors.contains("browser bridge on port") ||
                              keskor.state() == QProcess::NotRunning;
                   },
                   30000) &&
               errors.contains("browser bridge on port");
    }
};

TEST_F(HeadlessBridgeTest, AWrongPasswordEndsWithAnErrorAndServesNothing) {
    EXPECT_FALSE(start(QStringLiteral("wrong")));
    ASSERT_TRUE(keskor.state() == QProcess::NotRunning || keskor.waitForFinished(30000));
    EXPECT_NE(keskor.exitCode(), 0);
    errors += keskor.readAllStandardError();
    EXPECT_FALSE(errors.contains(kPassword.toUtf8()));
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, port)) << "the port was left free";
}

// A page in a real browser opens the bridge, asks "checkState" and "queryURL" and reports
// what it saw to a small HTTP listener of the test; SIGTERM then ends the program cleanly.
TEST_F(HeadlessBridgeTest, ABrowserPageQueriesTheBridgeUntilSigterm) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    ASSERT_FALSE(chromium.isEmpty()) << "scripts/bootstrap.sh installs Debian's chromium";
    ASSERT_TRUE(start(kPassword)) << errors.toStdString();
    EXPECT_TRUE(errors.contains("family.pswd")) << errors.toStdString();
    QWebSocket socket; // still open at the end, to see the quit sequence close it
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 10000));

    QTcpServer reporter;
    ASSERT_TRUE(reporter.listen(QHostAddress::LocalHost, 0));
    QByteArray report;
    QObject::connect(&reporter, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = reporter.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, [&report, socket] {
            report += socket->readAll();
            if (report.contains("\r\n\r\n")) {
                socket->write("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
            }
        });
    });
    dir.write(QStringLiteral("page.html"), R"(<!doctype html><html><body><script>
const [bridgePort, reportPort] = location.hash.slice(1).split(',');
const report = (text) => fetch('http://127.0.0.1:' + reportPort + '/report?' +
                               encodeURIComponent(text), {mode: 'no-cors'});
const replies = [];
const ws = new WebSocket('ws://127.0.0.1:' + bridgePort + '/');
ws.onopen = () => ws.send(JSON.stringify({cmd: 'checkState'}));
ws.onmessage = (event) => {
  replies.push(JSON.parse(event.data));
  if (replies.length === 1) {
    ws.send(JSON.stringify({cmd: 'queryURL', url: 'https://bank.example/login'}));
  } else {
    report('state=' + replies[0].state + ' matches=' + replies[1].matches +
           ' user=' + replies[1].users[0] + ' END');
    ws.close();
  }
};
ws.onerror = () => report('socket error');
</script></body></html>)");

    QProcess browser;
    browser.start(chromium, {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                             QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                             QStringLiteral("--user-data-dir=") +
                                 dir.file(QStringLiteral("chromium-profile")),
                             QStringLiteral("file://%1#%2,%3")
                                 .arg(dir.file(QStringLiteral("page.html")))
                                 .arg(port)
                                 .arg(reporter.serverPort())});
    ASSERT_TRUE(browser.waitForStarted());
    const bool reported = QTest::qWaitFor([&] { return report.contains("\r\n\r\n"); }, 90000);
    browser.kill();
    browser.waitForFinished();
    ASSERT_TRUE(reported) << browser.readAllStandardError().toStdString();
    const QByteArray line = QByteArray::fromPercentEncoding(report.left(report.indexOf("\r\n")));
    EXPECT_TRUE(line.contains("state=ready matches=1 user=alice END")) << line.toStdString();

    ::kill(static_cast<pid_t>(keskor.processId()), SIGTERM);
    ASSERT_TRUE(keskor.waitForFinished(30000));
    EXPECT_EQ(keskor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(keskor.exitCode(), 0) << keskor.readAllStandardError().toStdString();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 10000))
        << "the quit sequence closes the bridge";
}

} // namespace
