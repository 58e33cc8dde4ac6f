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

struct LengthForm {
    qsizetype size;
    std::vector<long> tags;
};

class LengthForms : public ::testing::TestWithParam<LengthForm> {};

TEST_P(LengthForms, DeliverTheWholeUnmaskedPayload) {
    QByteArray payload(GetParam().size, '\0');
    for (qsizetype i = 0; i < payload.size(); ++i) {
        payload[i] = char('a' + i % 26);
    }
    QByteArray stream("\x81", 1);
    if (payload.size() < 126) {
        stream.append(char(0x80 | payload.size()));
    } else if (payload.size() < 65536) {
        stream.append(char(0xfe)).append(bigEndian(payload.size(), 2));
    } else {
        stream.append(char(0xff)).append(bigEndian(payload.size(), 8));
    }
    stream.append(masked(payload));

    const DriveResult run = drive(WebSocketFrameParser(), stream);
    ASSERT_EQ(run.outcomes.size(), 1u);
    EXPECT_EQ(run.outcomes[0].kind, Kind::Frame);
    EXPECT_EQ(run.outcomes[0].opcode, 1);
    EXPECT_EQ(run.outcomes[0].payload, payload);
    EXPECT_EQ(run.tags, GetParam().tags);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LengthForms,
                         ::testing::Values(LengthForm{0, {4, 33}}, LengthForm{125, {4, 33}},
                                           LengthForm{126, {4, 17, 33}},
                                           LengthForm{65535, {4, 17, 33}},
                                           LengthForm{65536, {4, 17, 33}}),
                         [](const auto& info) {
                             return "payload" + std::to_string(info.param.size);
                         });

class RefusedOpcodes : public ::testing::TestWithParam<int> {};

TEST_P(RefusedOpcodes, AreRefusedAtTheHeader) {
    const QByteArray header{char(0x80 | GetParam()), char(0x85)};
    const WebSocketFrameStep step = WebSocketFrameParser().step(WebSocketTag::header, header);
    EXPECT_EQ(step.kind, Kind::Refused);
    EXPECT_EQ(step.error, QStringLiteral("Cannot handle this websocket frame format!"));
}

INSTANTIATE_TEST_SUITE_P(Opcodes, RefusedOpcodes,
                         ::testing::Values(0, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15),
                         [](const auto& info) { return "opcode" + std::to_string(info.param); });

TEST(WebSocketFrameParser, ControlFramesCarryTheirOpcodeAndPayload) {
    const QByteArray stream = QByteArray("\x89\x83", 2) + masked("abc") +
                              QByteArray("\x88\x82", 2) + masked(QByteArray("\x03\xe9", 2));
    const DriveResult run = drive(WebSocketFrameParser(), stream);
    ASSERT_EQ(run.outcomes.size(), 2u);
    EXPECT_EQ(run.outcomes[0].opcode, 9);
    EXPECT_EQ(run.outcomes[0].payload, QByteArray("abc"));
    EXPECT_EQ(run.outcomes[1].opcode, 8);
    EXPECT_EQ(run.outcomes[1].payload, QByteArray("\x03\xe9", 2));
    EXPECT_EQ(run.tags, (std::vector<long>{4, 41, 4, 40}));
}

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

struct HugeLength {
    const char* name;
    quint64 length;
};

class HugeLengths : public ::testing::TestWithParam<HugeLength> {};

TEST_P(HugeLengths, AreRefusedBeforeAnyPayloadIsRead) {
    const WebSocketFrameParser parser;
    const WebSocketFrameStep step =
        parser.step(WebSocketTag::extendedLength + 1, bigEndian(GetParam().length, 8));
    EXPECT_EQ(step.kind, Kind::Refused);
    EXPECT_EQ(step.error, QStringLiteral("Cannot handle this websocket frame format!"));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, HugeLengths,
    ::testing::Values(HugeLength{"limitPlusOne", WebSocketFrameParser::DefaultMaxPayloadLength + 1},
                      HugeLength{"twoTo32", quint64(1) << 32},
                      HugeLength{"twoTo63", quint64(1) << 63}, HugeLength{"allOnes", ~quint64(0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebSocketFrameParser, TheLimitItselfIsAccepted) {
    const WebSocketFrameParser parser(1000);
    const WebSocketFrameStep atLimit =
        parser.step(WebSocketTag::extendedLength + 9, bigEndian(1000, 2));
    EXPECT_EQ(atLimit.kind, Kind::Read);
    EXPECT_EQ(atLimit.readLength, 1004);
    EXPECT_EQ(atLimit.readTag, WebSocketTag::maskAndPayload + 9);
    EXPECT_EQ(parser.step(WebSocketTag::extendedLength + 9, bigEndian(1001, 2)).kind,
              Kind::Refused);
}

TEST(WebSocketFrameParser, IgnoresTagsOutsideTheFrameSteps) {
    const WebSocketFrameParser parser;
    for (const long tag : {1L, 2L, 3L, 16L, 18L, 32L, 34L, -1L}) {
        EXPECT_EQ(parser.step(tag, QByteArray("\x81\x80", 2)).kind, Kind::Ignored) << tag;
    }
}

TEST(WebSocketFrameParser, ReadsOfTheWrongSizeAreRefusedNotTrusted) {
    const WebSocketFrameParser parser;
    EXPECT_EQ(parser.step(WebSocketTag::header, "\x81").kind, Kind::Refused);
    EXPECT_EQ(parser.step(WebSocketTag::extendedLength + 1, "abc").kind, Kind::Refused);
    EXPECT_EQ(parser.step(WebSocketTag::maskAndPayload + 1, "abc").kind, Kind::Refused);
}

TEST(WebSocketFrameParser, StopsAtATruncatedFrame) {
    const QByteArray stream = QByteArray("\x81\x85", 2) + masked("hello").left(6);
    const DriveResult run = drive(WebSocketFrameParser(), stream);
    EXPECT_TRUE(run.truncated);
    EXPECT_TRUE(run.outcomes.empty());
}

} // namespace
