#include "bridge/WebSocketFrameParser.h"

#include "bridge/WebSocketTags.h"

#include <QtEndian>
#include <gtest/gtest.h>
#include <vector>

using namespace keskor;
using Kind = WebSocketFrameStep::Kind;

namespace {

const QByteArray mask("\x37\xfa\x21\x3d", 4);

QByteArray masked(const QByteArray& payload) {
    QByteArray out = mask;
    for (qsizetype i = 0; i < payload.size(); ++i) {
        out.append(char(payload[i] ^ mask[i % 4]));
    }
    return out;
}

QByteArray bigEndian(quint64 value, int width) {
    char bytes[8];
    qToBigEndian<quint64>(value, bytes);
    return QByteArray(bytes + 8 - width, width);
}

// Drives the parser over `stream` the way the server does, one exact-length read per step,
// and returns the steps that were not reads.
struct DriveResult {
    std::vector<WebSocketFrameStep> outcomes;
    std::vector<long> tags;
    bool truncated = false;
};

DriveResult drive(const WebSocketFrameParser& parser, const QByteArray& stream) {
    DriveResult run;
    WebSocketFrameStep next = WebSocketFrameParser::headerRead();
    qsizetype at = 0;
    for (;;) {
        if (stream.size() - at < next.readLength) {
            run.truncated = true;
            return run;
        }
        run.tags.push_back(next.readTag);
        const WebSocketFrameStep step = parser.step(next.readTag, stream.mid(at, next.readLength));
        at += next.readLength;
        if (step.kind == Kind::Read) {
            next = step;
            continue;
        }
        run.outcomes.push_back(step);
        if (step.kind != Kind::Frame || at == stream.size()) {
            return run;
        }
        next = WebSocketFrameParser::headerRead();
    }
}

// The length forms are checked over sockets in ZenWebSocketServerTest.
TEST(WebSocketFrameParser, FinAndReservedBitsAreNotExamined) {
    // No FIN, all three RSV bits set: still one whole text message.
    const QByteArray stream = QByteArray("\x71\x82", 2) + masked("hi");
    const DriveResult run = drive(WebSocketFrameParser(), stream);
    ASSERT_EQ(run.outcomes.size(), 1u);
    EXPECT_EQ(run.outcomes[0].kind, Kind::Frame);
    EXPECT_EQ(run.outcomes[0].payload, QByteArray("hi"));
}

TEST(WebSocketFrameParser, AnUnmaskedFrameHasItsFirstFourBytesTakenAsTheKey) {
    // Length 4 without the mask bit: the key is read all the same, then four payload bytes.
    const QByteArray stream = QByteArray("\x81\x04", 2) + "abcdEFGH";
    const DriveResult run = drive(WebSocketFrameParser(), stream);
    ASSERT_EQ(run.outcomes.size(), 1u);
    const char xored[] = {char('E' ^ 'a'), char('F' ^ 'b'), char('G' ^ 'c'), char('H' ^ 'd')};
    const QByteArray expected(xored, sizeof xored);
    EXPECT_EQ(run.outcomes[0].payload, expected);
}

TEST(WebSocketFrameParser, AcceptsNonMinimalLengthForms) {
    const QByteArray stream = QByteArray("\x81\xfe", 2) + bigEndian(3, 2) + masked("abc");
    const DriveResult run = drive(WebSocketFrameParser(), stream);
    ASSERT_EQ(run.outcomes.size(), 1u);
    EXPECT_EQ(run.outcomes[0].payload, QByteArray("abc"));
}

struct Refusal {
    std::string name;
    long tag;
    QByteArray bytes;
    quint64 limit = WebSocketFrameParser::DefaultMaxPayloadLength;
};

std::vector<Refusal> refusals() {
    // Continuation, binary, the reserved data kinds and the reserved control kinds.
    std::vector<Refusal> all;
    for (const int opcode : {0, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15}) {
        all.push_back({"opcode" + std::to_string(opcode), WebSocketTag::header,
                       QByteArray{char(0x80 | opcode), char(0x85)}});
    }
    // Lengths beyond the limit, refused before any payload is read.
    const long length64 = WebSocketTag::extendedLength + 1;
    const auto limit = WebSocketFrameParser::DefaultMaxPayloadLength;
    all.push_back({"limitPlusOne", length64, bigEndian(limit + 1, 8)});
    all.push_back({"twoTo32", length64, bigEndian(quint64(1) << 32, 8)});
    all.push_back({"twoTo63", length64, bigEndian(quint64(1) << 63, 8)});
    all.push_back({"allOnes", length64, bigEndian(~quint64(0), 8)});
    all.push_back({"ownLimitPlusOne", WebSocketTag::extendedLength + 9, bigEndian(1001, 2), 1000});
    // Reads of the wrong size are refused, not trusted.
    all.push_back({"shortHeader", WebSocketTag::header, "\x81"});
    all.push_back({"shortLength", length64, "abc"});
    all.push_back({"shortMask", WebSocketTag::maskAndPayload + 1, "abc"});
    return all;
}

class Refused : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refused, WithTheFrameFormatMessage) {
    const WebSocketFrameParser parser(GetParam().limit);
    const WebSocketFrameStep step = parser.step(GetParam().tag, GetParam().bytes);
    EXPECT_EQ(step.kind, Kind::Refused);
    EXPECT_EQ(step.error, QStringLiteral("Cannot handle this websocket frame format!"));
}

INSTANTIATE_TEST_SUITE_P(Steps, Refused, ::testing::ValuesIn(refusals()),
                         [](const auto& info) { return info.param.name; });

TEST(WebSocketFrameParser, StopsAtATruncatedFrame) {
    const QByteArray stream = QByteArray("\x81\x85", 2) + masked("hello").left(6);
    const DriveResult run = drive(WebSocketFrameParser(), stream);
    EXPECT_TRUE(run.truncated);
    EXPECT_TRUE(run.outcomes.empty());
}

} // namespace
