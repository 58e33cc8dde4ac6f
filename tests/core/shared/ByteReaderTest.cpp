#include "core/shared/ByteReader.h"

#include "core/shared/ByteWriter.h"

#include <gtest/gtest.h>
#include <limits>

using namespace keskor;

namespace {

/// Hands out a buffer `step` bytes at a time, as a decompressor would.
class PiecewiseSource : public ByteReader::Source {
public:
    PiecewiseSource(QByteArray bytes, qsizetype step) : m_bytes(std::move(bytes)), m_step(step) {}
    bool fill(QByteArray& out, qsizetype max) override {
        const qsizetype n = std::min({max, m_step, m_bytes.size() - m_at});
        if (n <= 0) {
            return false;
        }
        out.append(m_bytes.constData() + m_at, n);
        m_at += n;
        return true;
    }

private:
    QByteArray m_bytes;
    qsizetype m_step;
    qsizetype m_at = 0;
};

struct Sample {
    bool flag = true;
    std::uint8_t small = 200;
    std::int32_t negative = -123456;
    std::uint64_t big = 0x0123456789ABCDEFull;
    double day = 45123.625;
    QString text = QString::fromUtf8("Grüße 🔑 \"quoted\" <&>");
    QString empty = QString::fromLatin1("");
    QString null;
    QString longText = QString(300000, QLatin1Char('x')); // spans many pieces
    QByteArray blob = QByteArray("\0\1\2\xff", 4);
    QStringList list{QStringLiteral("a"), QString(), QStringLiteral("ccc")};
};

QByteArray written(const Sample& s) {
    QByteArray out;
    ByteWriter w(out);
    w << s.flag << s.small << s.negative << s.big << s.day << s.text << s.empty << s.null
      << s.longText << s.blob << s.list;
    return out;
}

void readInto(ByteReader& r, Sample& s) {
    r >> s.flag >> s.small >> s.negative >> s.big >> s.day >> s.text >> s.empty >> s.null >>
        s.longText >> s.blob >> s.list;
}

void readAndCompare(ByteReader& r, const Sample& expected) {
    // Every value other than the one expected, so a value left unread shows.
    Sample got{false, 0, 0, 0, 0.0, "?", "?", "?", "?", {}, {}};
    readInto(r, got);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0);
    EXPECT_EQ(got.flag, expected.flag);
    EXPECT_EQ(got.small, expected.small);
    EXPECT_EQ(got.negative, expected.negative);
    EXPECT_EQ(got.big, expected.big);
    EXPECT_EQ(got.day, expected.day);
    EXPECT_EQ(got.text, expected.text);
    EXPECT_TRUE(got.empty.isEmpty() && !got.empty.isNull()) << "empty stays apart from null";
    EXPECT_TRUE(got.null.isNull());
    EXPECT_EQ(got.longText, expected.longText);
    EXPECT_EQ(got.blob, expected.blob);
    ASSERT_EQ(got.list.size(), 3);
    EXPECT_TRUE(got.list[1].isNull());
    EXPECT_EQ(got.list, expected.list);
}

class PiecewiseReading : public ::testing::TestWithParam<qsizetype> {};

TEST_P(PiecewiseReading, GivesBackEveryValue) {
    const Sample sample;
    const QByteArray bytes = written(sample);
    if (GetParam() == 0) {
        ByteReader r(bytes);
        readAndCompare(r, sample);
        return;
    }
    PiecewiseSource source(bytes, GetParam());
    ByteReader r(source, bytes.size());
    readAndCompare(r, sample);
}

INSTANTIATE_TEST_SUITE_P(Steps, PiecewiseReading, ::testing::Values(0, 1, 3, 4096, 1 << 20),
                         [](const auto& info) {
                             return info.param == 0 ? std::string("memory")
                                                    : "step" + std::to_string(info.param);
                         });

TEST(ByteReaderTest, EveryTruncationFailsWithoutReadingPastTheEnd) {
    const QByteArray bytes = written(Sample{});
    for (const qsizetype cut :
         {qsizetype(0), qsizetype(1), qsizetype(20), bytes.size() / 2, bytes.size() - 1}) {
        const QByteArray part = bytes.left(cut);
        PiecewiseSource source(part, 7);
        // The source ends early although the reader was promised the full length.
        ByteReader streamed(source, bytes.size());
        Sample got;
        readInto(streamed, got);
        EXPECT_FALSE(streamed.ok()) << "cut at " << cut;
        ByteReader inMemory(part);
        readInto(inMemory, got);
        EXPECT_FALSE(inMemory.ok()) << "cut at " << cut;
    }
}

TEST(ByteReaderTest, BadLengthsAndBooleansAreRefusedAndTimesThatAreNoNumberReadAsNone) {
    QByteArray bytes;
    ByteWriter w(bytes);
    w << std::uint32_t(0x7FFFFFF0u) << std::uint8_t('a');
    QString text;
    ByteReader r(bytes);
    r >> text;
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(text.isNull());

    QByteArray list;
    ByteWriter lw(list);
    lw << std::uint32_t(1000000) << QStringLiteral("one");
    QStringList values;
    ByteReader lr(list);
    lr >> values;
    EXPECT_FALSE(lr.ok()) << "a count that the remaining bytes cannot hold";

    const QByteArray two("\x02", 1);
    bool flag = false;
    ByteReader br(two);
    br >> flag;
    EXPECT_FALSE(br.ok());

    // A time that is no number would not survive a save and reload as itself.
    QByteArray times;
    ByteWriter tw(times);
    tw << std::numeric_limits<double>::quiet_NaN() << std::numeric_limits<double>::infinity();
    double nan = 1.0;
    double inf = 1.0;
    ByteReader tr(times);
    tr >> nan >> inf;
    EXPECT_TRUE(tr.ok());
    EXPECT_EQ(nan, 0.0);
    EXPECT_EQ(inf, 0.0);
}

} // namespace
