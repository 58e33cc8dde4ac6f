#include "bridge/WebSocketFunctions.h"

#include "core/shared/CommonException.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

// The length forms of server frames are checked on the wire in ZenWebSocketServerTest.
TEST(WebSocketFunctions, FramesATextAsItsUtf8Bytes) {
    const QString text = QString::fromUtf8("Grüße 🔑");
    EXPECT_EQ(webSocketFrameData(text), webSocketFrameData(text.toUtf8()));
    EXPECT_EQ(webSocketFrameData(text).at(1), char(text.toUtf8().size()));
    EXPECT_EQ(webSocketFrameData(QByteArray()), QByteArray("\x81\x00", 2));
}

TEST(WebSocketFunctions, CloseReplyEchoesTheStatusOrSaysNormalClosure) {
    EXPECT_EQ(webSocketCloseReplyData(QByteArray("\x03\xe9go away", 9)),
              QByteArray("\x88\x02\x03\xe9", 4));
    EXPECT_EQ(webSocketCloseReplyData({}), QByteArray("\x88\x02\x03\xe8", 4));
    EXPECT_EQ(webSocketCloseReplyData("x"), QByteArray("\x88\x02\x03\xe8", 4));
}

TEST(Handshake, TrimsTheFirstKeyAndAnswersWithTheAcceptValue) {
    const QByteArray request = "GET / HTTP/1.1\r\nHost: 127.0.0.1:25109\r\n"
                               "Sec-WebSocket-Key:  dGhlIHNhbXBsZSBub25jZQ== \r\n"
                               "Sec-WebSocket-Version: 8\r\nSec-WebSocket-Key: other\r\n\r\n";
    EXPECT_EQ(handshakeResponseForData(request),
              QStringLiteral("HTTP/1.1 101 Web Socket Protocol Handshake\r\nUpgrade: websocket\r\n"
                             "Connection: Upgrade\r\nSec-WebSocket-Accept: "
                             "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n"));
}

struct RefusedHandshake {
    const char* name;
    QByteArray request;
};

class RefusedHandshakes : public ::testing::TestWithParam<RefusedHandshake> {};

TEST_P(RefusedHandshakes, FailWithTheHandshakeMessage) {
    try {
        handshakeResponseForData(GetParam().request);
        FAIL() << "accepted";
    } catch (const CommonException& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Invalid handshake from client"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RefusedHandshakes,
    ::testing::Values(
        RefusedHandshake{"empty", QByteArray()},
        RefusedHandshake{"missingKey", "GET / HTTP/1.1\r\nHost: x\r\n\r\n"},
        RefusedHandshake{"otherPath", "GET /socket HTTP/1.1\r\nSec-WebSocket-Key: k\r\n\r\n"},
        RefusedHandshake{"http10", "GET / HTTP/1.0\r\nSec-WebSocket-Key: k\r\n\r\n"},
        RefusedHandshake{"post", "POST / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n\r\n"},
        RefusedHandshake{"lowerCaseKeyName", "GET / HTTP/1.1\r\nsec-websocket-key: k\r\n\r\n"},
        RefusedHandshake{"spaceBeforeColon", "GET / HTTP/1.1\r\nSec-WebSocket-Key : k\r\n\r\n"},
        RefusedHandshake{"keyWithColon", "GET / HTTP/1.1\r\nSec-WebSocket-Key: a:b\r\n\r\n"},
        RefusedHandshake{"bareNewlines", "GET / HTTP/1.1\nSec-WebSocket-Key: k\n\n"},
        RefusedHandshake{"invalidUtf8", "GET / HTTP/1.1\r\nSec-WebSocket-Key: \xff\xfe\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
