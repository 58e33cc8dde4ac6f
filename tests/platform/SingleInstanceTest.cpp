#include "platform/SingleInstance.h"

#include "tests/support/TempDir.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace keskor;
using keskor::test::TempDir;

namespace {

QByteArray header(quint32 length) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian<quint32>(length, bytes.data());
    return bytes;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    TempDir dir;
    const QString name = dir.file(QStringLiteral("s"));
};

TEST_F(SingleInstanceTest, LaterProcessHandsItsArgumentsToTheFirstAndCannotTakeTheName) {
    SingleInstance first(name);
    ASSERT_EQ(first.start({}), SingleInstance::Start::primary);
    QSignalSpy received(&first, &SingleInstance::argumentsReceived);
    EXPECT_EQ(QFile::permissions(name) &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions())
        << "only the user may connect";

    const QStringList arguments{QStringLiteral("keskor://oauth?code=ä b"),
                                QStringLiteral("/home/u/Family Vault.pswd"), QString()};
    SingleInstance second(name);
    EXPECT_EQ(second.start(arguments), SingleInstance::Start::handedOff);
    ASSERT_TRUE(received.count() == 1 || received.wait(2000));
    EXPECT_EQ(received.at(0).at(0).toStringList(), arguments);

    SingleInstance third(name);
    EXPECT_FALSE(third.listen()) << "a live server keeps its name";
    EXPECT_TRUE(third.handOff({QStringLiteral("again")}));
    ASSERT_TRUE(received.count() == 2 || received.wait(2000));
    EXPECT_EQ(received.at(1).at(0).toStringList(), QStringList{QStringLiteral("again")});
}

TEST_F(SingleInstanceTest, BadClientsAreDroppedAndTheServerKeepsServing) {
    SingleInstance server(name);
    server.setConnectionTimeout(300);
    ASSERT_TRUE(server.listen());
    QSignalSpy received(&server, &SingleInstance::argumentsReceived);

    const QByteArray notJson = "arguments please";
    const QByteArray notStrings = R"({"arguments":["a",1]})";
    const std::pair<const char*, QByteArray> clients[] = {
        {"garbage", header(quint32(notJson.size())) + notJson},
        {"not a list of texts", header(quint32(notStrings.size())) + notStrings},
        {"oversized length", header(SingleInstance::kMaxMessageBytes + 1) + "{"},
        {"negative length", header(0xffffffffu)},
        {"never finishes", header(100) + R"({"arguments":[)"},
    };
    for (const auto& [what, bytes] : clients) {
        QLocalSocket client;
        client.connectToServer(name);
        ASSERT_TRUE(client.waitForConnected(1000)) << what;
        client.write(bytes);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 3000))
            << what << ": the server must close the connection";
        EXPECT_FALSE(client.readAll().contains('\x06')) << what << ": no acknowledgement";
    }
    EXPECT_EQ(received.count(), 0);

    SingleInstance later(name);
    EXPECT_TRUE(later.handOff({QStringLiteral("/tmp/a.pswe")}));
    ASSERT_TRUE(received.count() == 1 || received.wait(2000));
    EXPECT_EQ(received.at(0).at(0).toStringList(), QStringList{QStringLiteral("/tmp/a.pswe")});
}

TEST_F(SingleInstanceTest, SocketLeftByACrashedProcessIsTakenOver) {
    // What a crash leaves: the socket file, with nobody listening on it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(name));

    SingleInstance next(name);
    EXPECT_EQ(next.start({QStringLiteral("x")}, 500), SingleInstance::Start::primary);
    QSignalSpy received(&next, &SingleInstance::argumentsReceived);
    EXPECT_TRUE(SingleInstance(name).handOff({QStringLiteral("y")}));
    ASSERT_TRUE(received.count() == 1 || received.wait(2000));
}

TEST(SingleInstanceName, EachProfileHasItsOwnShortSocket) {
    const QString a = SingleInstance::serverNameFor(QStringLiteral("/home/u/profile-a"));
    EXPECT_EQ(a, SingleInstance::serverNameFor(QStringLiteral("/home/u/profile-a/")));
    EXPECT_NE(a, SingleInstance::serverNameFor(QStringLiteral("/home/u/profile-b")));
    EXPECT_LT(a.toLocal8Bit().size(), 100);
}

} // namespace
