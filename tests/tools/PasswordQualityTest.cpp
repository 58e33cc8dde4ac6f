// The entropy estimate, the crack time and the exact texts of the strength read-outs across
// the boundaries of their tables.

#include "tests/tools/ScriptedRandom.h"
#include "tools/PasswordHelper.h"

#include <gtest/gtest.h>
#include <limits>

namespace keskor {
namespace {

const TextLookup kText = &test::markedKey;

struct EntropyCase {
    const char* name;
    QString password;
    int pool;
    int entropy;
};

class EntropyTest : public ::testing::TestWithParam<EntropyCase> {};

TEST_P(EntropyTest, PoolAndBits) {
    EXPECT_EQ(PasswordHelper::pool(GetParam().password), GetParam().pool);
    EXPECT_EQ(PasswordHelper::entropy(GetParam().password), GetParam().entropy);
}

INSTANTIATE_TEST_SUITE_P(
    Quality, EntropyTest,
    ::testing::Values(EntropyCase{"Empty", QString(), 0, 0},
                      EntropyCase{"UpperTwoLowerDigit", QStringLiteral("Abc1"), 62, 23},
                      EntropyCase{"FourUmlauts", QStringLiteral("ÄäÖß"), 10, 13},
                      EntropyCase{"PinOfFourDigits", QStringLiteral("1234"), 10, 13},
                      EntropyCase{"SpaceCountsAsSpecial", QStringLiteral("a b"), 58, 17},
                      EntropyCase{"AllFiveClasses", QStringLiteral("Aa1!ü"), 104, 33},
                      // Combining marks and emoji count as one character each.
                      EntropyCase{"GraphemeLength", QStringLiteral("e\u0301e\u0301"), 26, 9},
                      EntropyCase{"EmojiWithLetter", QStringLiteral("🔑a"), 26, 9},
                      EntropyCase{"NoClassAtAll", QStringLiteral("€€€"), 0, 0},
                      // The class tests span one line: a line feed inside fails them all, a
                      // final one is allowed (and counts as a character).
                      EntropyCase{"LineFeedInside", QStringLiteral("Ab\nc1"), 0, 0},
                      EntropyCase{"FinalLineFeed", QStringLiteral("Ab1\n"), 62, 23},
                      EntropyCase{"FinalCrLfIsOneCharacter", QStringLiteral("Ab\r\n"), 52, 17},
                      EntropyCase{"TabIsNoClass", QStringLiteral("a\tb"), 26, 14}),
    [](const auto& info) { return std::string(info.param.name); });

class CharacterCountTest : public ::testing::TestWithParam<QString> {};

TEST_P(CharacterCountTest, CountsWhatCharactersReturns) {
    EXPECT_EQ(PasswordHelper::characterCount(GetParam()),
              PasswordHelper::characters(GetParam()).size());
}

INSTANTIATE_TEST_SUITE_P(Quality, CharacterCountTest,
                         ::testing::Values(QString(), QStringLiteral("abc !~"),
                                           QStringLiteral("a\r\nb"), QStringLiteral("a\rb\r"),
                                           QStringLiteral("e\u0301x"), QStringLiteral("🔑🔑"),
                                           QStringLiteral("\U0001F469\u200D\U0001F4BB")));

TEST(PasswordQualityTest, RatingBoundaries) {
    EXPECT_EQ(PasswordHelper::ratingKey(0), QStringLiteral("weak"));
    EXPECT_EQ(PasswordHelper::ratingKey(20), QStringLiteral("weak"));
    EXPECT_EQ(PasswordHelper::ratingKey(21), QStringLiteral("moderate"));
    EXPECT_EQ(PasswordHelper::ratingKey(70), QStringLiteral("moderate"));
    EXPECT_EQ(PasswordHelper::ratingKey(71), QStringLiteral("strong"));
}

TEST(PasswordQualityTest, SummaryText) {
    EXPECT_EQ(PasswordHelper::strengthSummary(QStringLiteral("Abc1"), kText),
              QStringLiteral("<length>: 4 <chars>; <entropy>: 23 <bits>; <pass_strength> "
                             "<moderate>"));
    EXPECT_EQ(PasswordHelper::strengthSummary(QStringLiteral("Äb🔑"), kText),
              QStringLiteral("<length>: 3 <chars>; <entropy>: 15 <bits>; <pass_strength> <weak>"));
    EXPECT_EQ(PasswordHelper::strengthSummary(QString(), kText),
              QStringLiteral("<length>: 0 <chars>; <entropy>: 0 <bits>; <pass_strength> <weak>"));
}

TEST(PasswordQualityTest, CrackTimeIsExactAndSaturates) {
    EXPECT_EQ(PasswordHelper::crackTime(QString()), 0);
    EXPECT_EQ(PasswordHelper::crackTime(QStringLiteral("1234")), 0);
    EXPECT_EQ(PasswordHelper::crackTime(QStringLiteral("abcdefghijkl")), 31809652);
    EXPECT_EQ(PasswordHelper::crackTime(QStringLiteral("abcdefgh")), 69); // 26^8 / 3e9
    EXPECT_EQ(PasswordHelper::crackTime(QStringLiteral("€€€€")), 0);
    // 104^14 / 3e9 still fits below 2^63 (computed exactly, no floating-point rounding);
    // 104^15 / 3e9 does not.
    EXPECT_EQ(PasswordHelper::crackTime(QStringLiteral("Aa1!üAa1!üAa1!")),
              std::int64_t(5772254825342678475LL));
    EXPECT_EQ(PasswordHelper::crackTime(QStringLiteral("Aa1!üAa1!üAa1!ü")),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(PasswordHelper::crackTime(QString(200, QLatin1Char('a')) + QStringLiteral("A1!")),
              std::numeric_limits<std::int64_t>::max());
}

struct CrackTextCase {
    std::int64_t seconds;
    const char* compact;
};

class CrackTimeTextTest : public ::testing::TestWithParam<CrackTextCase> {};

TEST_P(CrackTimeTextTest, CompactAndFull) {
    const QString compact = QString::fromUtf8(GetParam().compact);
    EXPECT_EQ(PasswordHelper::crackTimeTextForSeconds(GetParam().seconds, true, kText), compact);
    EXPECT_EQ(PasswordHelper::crackTimeTextForSeconds(GetParam().seconds, false, kText),
              QStringLiteral("<could_be_cracked>:") + compact);
}

INSTANTIATE_TEST_SUITE_P(
    Quality, CrackTimeTextTest,
    ::testing::Values(CrackTextCase{0, " <less_than> 1 <secs>"}, CrackTextCase{1, " 1 <secs>"},
                      CrackTextCase{59, " 59 <secs>"}, CrackTextCase{60, " 1 <mins>"},
                      CrackTextCase{3599, " 59 <mins>"}, CrackTextCase{3600, " 1 <hours>"},
                      CrackTextCase{86399, " 23 <hours>"}, CrackTextCase{86400, " 1 <days>"},
                      CrackTextCase{2592000, " 30 <days>"}, CrackTextCase{2592001, " 1 <months>"},
                      CrackTextCase{31104000, " 12 <months>"},
                      CrackTextCase{31104001, " 1 <years>"},
                      CrackTextCase{31104000000LL, " 1000 <years>"},
                      CrackTextCase{31104000001LL, " <never>"},
                      CrackTextCase{std::numeric_limits<std::int64_t>::max(), " <never>"}),
    [](const auto& info) { return "t" + std::to_string(info.param.seconds); });

TEST(PasswordQualityTest, StrengthBarValueAndColour) {
    const StrengthBar empty = PasswordHelper::strengthBarForEntropy(0);
    EXPECT_EQ(empty.value, 0.0);
    EXPECT_EQ(empty.red, 1.0);
    EXPECT_EQ(empty.green, 0.0);
    EXPECT_EQ(empty.blue, 0.0);
    EXPECT_EQ(empty.alpha, 1.0);

    const StrengthBar half = PasswordHelper::strengthBarForEntropy(50, 200.0);
    EXPECT_DOUBLE_EQ(half.value, 100.0);
    EXPECT_DOUBLE_EQ(half.red, 0.5);
    EXPECT_DOUBLE_EQ(half.green, 0.5);

    for (const int bits : {100, 150, 1000}) {
        const StrengthBar full = PasswordHelper::strengthBarForEntropy(bits);
        EXPECT_EQ(full.value, full.maxValue) << bits;
        EXPECT_EQ(full.red, 1.1145768404080003e-16) << bits;
        EXPECT_EQ(full.green, 0.9999999999999999) << bits;
    }
    const StrengthBar fromPassword = PasswordHelper::updateStrengthBar(QStringLiteral("Abc1"));
    EXPECT_DOUBLE_EQ(fromPassword.value, 23.0);
}

TEST(PasswordQualityTest, ReadoutCombinesTheThree) {
    const StrengthReadout r = PasswordHelper::strengthReadout(QStringLiteral("1234"), kText);
    EXPECT_EQ(r.summary, PasswordHelper::strengthSummary(QStringLiteral("1234"), kText));
    EXPECT_EQ(r.crackTime, QStringLiteral("<could_be_cracked>: <less_than> 1 <secs>"));
    EXPECT_DOUBLE_EQ(r.bar.value, 13.0);
    EXPECT_EQ(PasswordHelper::crackTimeText(QStringLiteral("abcdefghijkl"), true, kText),
              QStringLiteral(" 1 <years>"));
}

} // namespace
} // namespace keskor
