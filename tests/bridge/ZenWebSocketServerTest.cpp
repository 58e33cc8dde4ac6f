// The WebSocket server over real loopback sockets. Normal traffic comes from QWebSocket, an
// RFC 6455 client written independently of ours; malformed traffic from a raw TCP client.

#include "bridge/ZenWebSocketServer.h"

#include "bridge/AsyncSocket.h"
#include "tests/bridge/RawClient.h"
#include "tests/bridge/RecordingServerDelegate.h"

#include <QTest>
#include <QUrl>
#include <QWebSocket>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace keskor;
using keskor::test::RawClient;
using keskor::test::RecordingServerDelegate;
using Kind = keskor::test::ServerEvent::Kind;

namespace {

constexpr int Timeout = 5000;
// For the tests that move megabytes, also under sanitizers.
constexpr int LongTimeout = 60000;

class ZenWebSocketServerTest : public ::testing::Test {
protected:
    RecordingServerDelegate delegate;
    std::unique_ptr<ZenWebSocketServer> server;

    void TearDown() override { server.reset(); }

    void start(ZenWebSocketServer::Limits limits = {}) {
        server = ZenWebSocketServer::initWithPortDelegate(0, &delegate, limits);
        ASSERT_NE(server, nullptr);
        ASSERT_NE(server->localPort(), 0);
    }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(server->localPort())); }
    bool open(QWebSocket& client, int timeoutMs = Timeout) {
        client.open(url());
        return QTest::qWaitFor([&]() { return client.state() == QAbstractSocket::ConnectedState; },
                               timeoutMs);
    }
    /// The kinds of the notifications about `connection`, in delivery order.
    std::vector<Kind> kindsOf(const std::shared_ptr<AsyncSocket>& connection) const {
        std::vector<Kind> kinds;
        for (const auto& event : delegate.events) {
            if (event.connection == connection) {
                kinds.push_back(event.kind);
            }
        }
        return kinds;
    }
    /// Expects the server to have refused and closed the raw client, once.
    void expectRefusedAndClosed(RawClient& client) {
        ASSERT_TRUE(delegate.waitFor(Kind::ParseError));
        EXPECT_TRUE(client.waitClosed());
        ASSERT_TRUE(delegate.waitFor(Kind::Disconnect));
        const auto* refusal = delegate.first(Kind::ParseError);
        EXPECT_FALSE(refusal->error.localizedDescription.isEmpty());
        EXPECT_EQ(refusal->error.errorDomain, ZenWebSocketServerError::domain);
        bool refused = false;
        for (const auto& event : delegate.events) {
            EXPECT_TRUE(event.onMainThread);
            refused |= event.kind == Kind::ParseError;
            EXPECT_FALSE(refused && event.kind == Kind::Data) << "a message after the refusal";
        }
        EXPECT_EQ(delegate.count(Kind::Disconnect), 1);
        EXPECT_EQ(kindsOf(refusal->connection).back(), Kind::Disconnect);
        EXPECT_EQ(server->clientCount(), 0);
    }
};

TEST_F(ZenWebSocketServerTest, AnswersTheHandshakeAndServesFramesSentWithIt) {
    start();
    RawClient plain(server->localPort());
    // RawClient checks the whole answer: status line, headers and the RFC's example accept.
    ASSERT_TRUE(plain.open());
    ASSERT_TRUE(delegate.waitFor(Kind::Accept));
    plain.send(RawClient::text("after the handshake"));

    // The first frame in the same segment as the request must not be lost with the request.
    RawClient pipelined(server->localPort());
    ASSERT_TRUE(pipelined.waitConnected());
    pipelined.send(RawClient::handshake("x3JJHMbDL1EzLkh9GBhXDw==") +
                   RawClient::text("with the handshake"));
    const QByteArray answer = pipelined.take(RawClient::handshakeAnswer().size());
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 101 Web Socket Protocol Handshake\r\n"));
    EXPECT_TRUE(answer.contains("Sec-WebSocket-Accept: HSmrc0sMlYUkAGmm5OPpG2HaGWk=\r\n"));

    ASSERT_TRUE(delegate.waitFor(Kind::Data, 2));
    QList<QByteArray> messages;
    for (const auto& event : delegate.events) {
        if (event.kind == Kind::Data) {
            messages << event.data;
            EXPECT_EQ(kindsOf(event.connection).front(), Kind::Accept);
        }
    }
    EXPECT_TRUE(messages.contains("after the handshake"));
    EXPECT_TRUE(messages.contains("with the handshake"));
    EXPECT_EQ(server->clientCount(), 2);
}

struct BadHandshake {
    const char* name;
    QByteArray request;
    qsizetype rawSize = -1; // what the refusal reports as read; -1: the whole request
};

class ZenWebSocketServerBadHandshakeTest : public ZenWebSocketServerTest,
                                           public ::testing::WithParamInterface<BadHandshake> {};

TEST_P(ZenWebSocketServerBadHandshakeTest, IsRefusedAndClosed) {
    start();
    RawClient client(server->localPort());
    ASSERT_TRUE(client.waitConnected());
    client.send(GetParam().request);
    expectRefusedAndClosed(client);
    EXPECT_EQ(delegate.count(Kind::Accept), 0);
    const qsizetype rawSize = GetParam().rawSize;
    EXPECT_EQ(delegate.first(Kind::ParseError)->data.size(),
              rawSize < 0 ? GetParam().request.size() : rawSize);
    EXPECT_FALSE(client.received.startsWith("HTTP/1.1 101"));
}

INSTANTIATE_TEST_SUITE_P(
    ZenWebSocketServer, ZenWebSocketServerBadHandshakeTest,
    ::testing::Values(
        BadHandshake{"NoKey", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n\r\n"},
        // The read stops at the bound: the rest of the flood is never buffered.
        BadHandshake{"NoBlankLineWithin16KiB",
                     "GET / HTTP/1.1\r\nX-Filler: " + QByteArray(20000, 'a'), 16 * 1024}),
    [](const auto& info) { return std::string(info.param.name); });

// Which frames are refused is the frame parser's matter; here, that a refusal closes.
TEST_F(ZenWebSocketServerTest, FramesLongerThanTheLimitAreRefused) {
    ZenWebSocketServer::Limits limits;
    limits.maxFrameLength = 1000;
    start(limits);
    RawClient client(server->localPort());
    ASSERT_TRUE(client.open());
    client.send(RawClient::text(QByteArray(1000, 'a')));
    ASSERT_TRUE(delegate.waitFor(Kind::Data));
    EXPECT_EQ(delegate.first(Kind::Data)->data, QByteArray(1000, 'a')) << "the limit itself";
    client.send(RawClient::text(QByteArray(1001, 'b')));
    expectRefusedAndClosed(client);
}

TEST_F(ZenWebSocketServerTest, AMessageSentOneByteAtATimeArrivesWhole) {
    start();
    RawClient client(server->localPort());
    ASSERT_TRUE(client.waitConnected());
    QByteArray payload(300, 'p'); // 16-bit length form, so all three reads are split
    payload[0] = 'P';
    const QByteArray bytes = RawClient::handshake() + RawClient::text(payload);
    for (const char byte : bytes) {
        client.send(QByteArray(1, byte));
        ASSERT_TRUE(client.socket.waitForBytesWritten(Timeout) ||
                    client.socket.bytesToWrite() == 0);
    }
    EXPECT_EQ(client.take(RawClient::handshakeAnswer().size()), RawClient::handshakeAnswer());
    ASSERT_TRUE(delegate.waitFor(Kind::Data));
    EXPECT_EQ(delegate.first(Kind::Data)->data, payload);
    EXPECT_EQ(delegate.count(Kind::ParseError), 0);
}

TEST_F(ZenWebSocketServerTest, ATruncatedFrameThenCloseOnlyDisconnects) {
    start();
    RawClient client(server->localPort());
    ASSERT_TRUE(client.open());
    const QByteArray frame = RawClient::text(QByteArray(100, 't'));
    client.send(frame.left(50));
    client.socket.disconnectFromHost();
    ASSERT_TRUE(delegate.waitFor(Kind::Disconnect));
    EXPECT_EQ(delegate.count(Kind::Data), 0);
    EXPECT_EQ(delegate.count(Kind::ParseError), 0);
    EXPECT_EQ(server->clientCount(), 0);
}

TEST_F(ZenWebSocketServerTest, AClientThatLeavesRightAfterItsRequestIsStillReportedGone) {
    start();
    RawClient client(server->localPort());
    ASSERT_TRUE(client.waitConnected());
    // The answer is written after the peer has gone: the connection must not linger.
    client.send(RawClient::handshake() + RawClient::text("and goodbye"));
    client.socket.disconnectFromHost();
    ASSERT_TRUE(delegate.waitFor(Kind::Disconnect));
    EXPECT_EQ(server->clientCount(), 0);
    EXPECT_EQ(delegate.count(Kind::Disconnect), 1);
}

TEST_F(ZenWebSocketServerTest, PingIsAnsweredWithAPongOfTheSamePayload) {
    start();
    QWebSocket client;
    ASSERT_TRUE(open(client));
    QList<QByteArray> pongs;
    QObject::connect(&client, &QWebSocket::pong,
                     [&](quint64, const QByteArray& payload) { pongs << payload; });
    client.ping("first");
    client.ping(QByteArray(125, 'm')); // the longest control payload
    ASSERT_TRUE(QTest::qWaitFor([&]() { return pongs.size() == 2; }, Timeout));
    EXPECT_EQ(pongs[0], "first");
    EXPECT_EQ(pongs[1], QByteArray(125, 'm'));
    // Still a working connection after the control frames.
    client.sendTextMessage(QStringLiteral("after pings"));
    ASSERT_TRUE(delegate.waitFor(Kind::Data));
    EXPECT_EQ(delegate.first(Kind::Data)->data, "after pings");
}

TEST_F(ZenWebSocketServerTest, CloseIsAnsweredWithTheClientsStatusAndEndsWithOneDisconnect) {
    start();
    RawClient raw(server->localPort());
    ASSERT_TRUE(raw.open());
    raw.send(RawClient::frame(0x88, QByteArray("\x03\xE9going away", 12)));
    EXPECT_EQ(raw.take(4), QByteArray("\x88\x02\x03\xE9", 4));

    QWebSocket client;
    ASSERT_TRUE(open(client));
    ASSERT_TRUE(delegate.waitFor(Kind::Accept, 2));
    client.close(QWebSocketProtocol::CloseCodeNormal);
    ASSERT_TRUE(QTest::qWaitFor(
        [&]() { return client.state() == QAbstractSocket::UnconnectedState; }, Timeout));
    ASSERT_TRUE(delegate.waitFor(Kind::Disconnect));
    EXPECT_EQ(client.closeCode(), QWebSocketProtocol::CloseCodeNormal);
    EXPECT_EQ(kindsOf(delegate.events[1].connection),
              (std::vector<Kind>{Kind::Accept, Kind::Disconnect}));
    EXPECT_EQ(server->clientCount(), 1) << "the raw client has not closed its end";
}

struct FrameForm {
    qsizetype length;
    QByteArray header; // what an unmasked text frame of that length starts with
};

class ZenWebSocketServerTextTest : public ZenWebSocketServerTest,
                                   public ::testing::WithParamInterface<FrameForm> {};

TEST_P(ZenWebSocketServerTextTest, TextsTravelBothWaysWithTheShortestLengthForm) {
    start();
    const qsizetype n = GetParam().length;
    QByteArray payload(n, 'a');
    for (qsizetype i = 0; i < n; ++i) {
        payload[i] = char('a' + i % 26);
    }
    RawClient raw(server->localPort());
    ASSERT_TRUE(raw.open());
    QWebSocket client;
    // The server takes one message per frame; Qt would split long ones into continuations.
    client.setOutgoingFrameSize(quint64(n) + 1);
    QString received;
    QObject::connect(&client, &QWebSocket::textMessageReceived,
                     [&](const QString& text) { received = text; });
    ASSERT_TRUE(open(client));
    ASSERT_TRUE(delegate.waitFor(Kind::Accept, 2));

    server->send(payload);
    const QByteArray header = GetParam().header;
    EXPECT_EQ(raw.take(header.size(), LongTimeout).toHex(), header.toHex()) << "unmasked too";
    EXPECT_EQ(raw.take(n, LongTimeout), payload);
    ASSERT_TRUE(QTest::qWaitFor([&]() { return !received.isEmpty(); }, LongTimeout));
    EXPECT_EQ(received.toLatin1(), payload);

    client.sendTextMessage(QString::fromLatin1(payload));
    ASSERT_TRUE(delegate.waitFor(Kind::Data, 1, LongTimeout));
    EXPECT_EQ(delegate.first(Kind::Data)->data, payload);
    EXPECT_EQ(delegate.count(Kind::ParseError), 0);
}

INSTANTIATE_TEST_SUITE_P(
    ZenWebSocketServer, ZenWebSocketServerTextTest,
    ::testing::Values(FrameForm{125, QByteArray("\x81\x7D", 2)},
                      FrameForm{126, QByteArray("\x81\x7E\x00\x7E", 4)},
                      FrameForm{65535, QByteArray("\x81\x7E\xFF\xFF", 4)},
                      FrameForm{65536, QByteArray("\x81\x7F\0\0\0\0\0\x01\0\0", 10)},
                      FrameForm{70000, QByteArray("\x81\x7F\0\0\0\0\0\x01\x11\x70", 10)},
                      FrameForm{1 << 20, QByteArray("\x81\x7F\0\0\0\0\0\x10\0\0", 10)}),
    [](const auto& info) { return std::to_string(info.param.length); });

TEST_F(ZenWebSocketServerTest, DestroyedWithClientsConnectedItNotifiesNothingMore) {
    start();
    std::vector<std::unique_ptr<QWebSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<QWebSocket>());
        ASSERT_TRUE(open(*clients.back()));
    }
    RawClient halfway(server->localPort());
    ASSERT_TRUE(halfway.waitConnected());
    halfway.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    ASSERT_TRUE(delegate.waitFor(Kind::Accept, 3));
    ASSERT_TRUE(QTest::qWaitFor([&]() { return server->clientCount() == 4; }, Timeout));

    // From inside a notification, as the owner does when the bridge is switched off, while
    // the other clients keep talking.
    size_t eventsAtDestruction = 0;
    delegate.onEvent = [&](ZenWebSocketServer&, const keskor::test::ServerEvent& event) {
        if (event.kind == Kind::Data && event.data == "stop") {
            eventsAtDestruction = delegate.events.size();
            server.reset();
        }
    };
    clients[1]->sendTextMessage(QStringLiteral("chatter"));
    clients[0]->sendTextMessage(QStringLiteral("stop"));
    clients[2]->sendTextMessage(QStringLiteral("chatter"));
    ASSERT_TRUE(QTest::qWaitFor([&]() { return !server; }, Timeout));
    ASSERT_TRUE(QTest::qWaitFor(
        [&]() {
            for (const auto& client : clients) {
                if (client->state() != QAbstractSocket::UnconnectedState) {
                    return false;
                }
            }
            return true;
        },
        Timeout));
    EXPECT_TRUE(halfway.waitClosed());
    EXPECT_EQ(delegate.events.size(), eventsAtDestruction);
    EXPECT_EQ(delegate.count(Kind::Disconnect), 0);
}

TEST_F(ZenWebSocketServerTest, ABusyPortGivesNoServer) {
    start();
    RecordingServerDelegate other;
    EXPECT_EQ(ZenWebSocketServer::initWithPortDelegate(server->localPort(), &other), nullptr);
    // The first server is unaffected.
    QWebSocket client;
    EXPECT_TRUE(open(client));
}

} // namespace
