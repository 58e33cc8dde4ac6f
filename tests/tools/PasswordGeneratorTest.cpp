// The generator's draws (exact sequences through a scripted source), the rules every password
// must keep, and the inputs that must end with an error.

#include "core/shared/CommonException.h"
#include "tests/tools/ScriptedRandom.h"
#include "tools/PasswordHelper.h"

#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using test::ScriptedRandom;

PasswordGeneratorOption classes(int upper, int lower, int special, int digits, int custom = 0) {
    PasswordGeneratorOption o;
    o.uppercasePercent = upper;
    o.lowercasePercent = lower;
    o.specialPercent = special;
    o.numbersPercent = digits;
    o.customCharPercent = custom;
    return o;
}

PasswordGeneratorOption selected(const QString& chars, int length) {
    PasswordGeneratorOption o;
    o.useOnlySelectedChars = true;
    o.useCustomSettings = false;
    o.selectedCharSet = PasswordHelper::characters(chars);
    o.passwordLength = length;
    return o;
}

TEST(RandomSourceTest, UniformUsesTheHighHalfAndRejectsTheBiasedBand) {
    ScriptedRandom random;
    // 2^64 mod 3 is 1: a value whose low half is 0 falls in the rejected band.
    random.raw(0);
    random.draw(2, 3);
    EXPECT_EQ(random.uniform(3), 2u);
    EXPECT_EQ(random.consumed(), 2);

    random.raw(~0ull); // the top value maps to the last integer
    EXPECT_EQ(random.uniform(10), 9u);
    random.raw((1ull << 63) + (1ull << 40));
    EXPECT_EQ(random.uniform(100), 50u);
    EXPECT_THROW(random.uniform(0), CommonException);
}

TEST(RandomSourceTest, SystemSourceKeepsGivingFreshValuesAcrossBlocks) {
    // Several 4 KiB blocks: every refill must bring new values, never the wiped zeros or a
    // repeat of an earlier block, and two sources never share a stream.
    SystemRandomSource first;
    SystemRandomSource second;
    QSet<std::uint64_t> seen;
    constexpr int kDraws = 5000;
    for (int i = 0; i < kDraws; ++i) {
        seen.insert(first.next64());
        seen.insert(second.next64());
    }
    EXPECT_EQ(seen.size(), 2 * kDraws);
    EXPECT_FALSE(seen.contains(0));
    // Each bit is set about half of the time (10,000 draws: 6 sigma is 300).
    for (int bit = 0; bit < 64; bit += 7) {
        const auto ones = std::count_if(seen.begin(), seen.end(),
                                        [bit](std::uint64_t v) { return (v >> bit) & 1u; });
        EXPECT_NEAR(double(ones), kDraws, 300.0) << "bit " << bit;
    }
}

TEST(PasswordGeneratorTest, ClassCharactersAreTheFixedTexts) {
    EXPECT_EQ(PasswordHelper::specialChars(), QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"));
    EXPECT_EQ(PasswordHelper::upperCaseChars().size(), 26);
    EXPECT_EQ(PasswordHelper::digitChars(), QStringLiteral("0123456789"));
}

TEST(PasswordGeneratorTest, DrawsTheClassSequenceFirstThenOneCharacterPerPosition) {
    ScriptedRandom random;
    auto option = classes(25, 25, 25, 25);
    option.passwordLength = 4;
    random.draws(100, {0, 30, 60, 99}); // upper, lower, special, digits
    random.draw(2, 26);                 // C
    random.draw(0, 26);                 // a
    random.draw(0, 32);                 // !
    random.draw(9, 10);                 // 9
    EXPECT_EQ(PasswordHelper::generatePassword(option, random), QStringLiteral("Ca!9"));
    EXPECT_EQ(random.remaining(), 0u);
}

TEST(PasswordGeneratorTest, ClassSequenceFollowsTheBandsOfTheEnabledClasses) {
    const struct {
        const char* name;
        QList<int> percents;
        std::initializer_list<std::uint64_t> draws; // out of 100
        QList<int> classes;
    } cases[] = {
        // Lower case off: upper 0, special 1, digits 2 with sums 25, 50, 100.
        {"ThreeClassesLastSumForcedTo100", {25, 25, 25}, {24, 25, 49, 50, 99}, {0, 1, 1, 2, 2}},
        // 60, 60, 60: sums 60, 120, 100; the third class is never drawn.
        {"BandsBeyond100AreCutOff", {60, 60, 60}, {0, 59, 60, 99}, {0, 0, 1, 1}},
        {"TotalBelow100GivesTheRestToTheLast", {10, 10}, {9, 10, 19, 20, 99}, {0, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedRandom random;
        random.draws(100, c.draws);
        EXPECT_EQ(PasswordHelper::classSequence(c.percents, int(c.draws.size()), false, random),
                  c.classes);
    }
}

TEST(PasswordGeneratorTest, AtLeastOneRedrawsTheWholeSequence) {
    ScriptedRandom random;
    auto option = classes(50, 50, 0, 0);
    option.useAtleastOneOfSelected = true;
    option.passwordLength = 2;
    random.draws(100, {0, 10}); // upper, upper: discarded
    random.draws(100, {99, 0}); // lower, upper
    random.draw(1, 26);         // b
    random.draw(25, 26);        // Z
    EXPECT_EQ(PasswordHelper::generatePassword(option, random), QStringLiteral("bZ"));
    EXPECT_EQ(random.remaining(), 0u);
}

TEST(PasswordGeneratorTest, ExcludeIdenticalRedrawsTheSamePosition) {
    ScriptedRandom random;
    auto option = selected(QStringLiteral("ab"), 3);
    option.excludeIdentical = true;
    random.draws(2, {0, 0, 1, 1, 0}); // a, (a refused), b, (b refused), a
    EXPECT_EQ(PasswordHelper::generatePassword(option, random), QStringLiteral("aba"));
    EXPECT_EQ(random.remaining(), 0u);
}

TEST(PasswordGeneratorTest, ExcludeIdenticalInClassModeKeepsTheClassOfThePosition) {
    ScriptedRandom random;
    auto option = classes(0, 0, 0, 100);
    option.passwordLength = 2;
    option.excludeIdentical = true;
    random.draws(100, {5, 70});
    random.draws(10, {7, 7, 7, 3});
    EXPECT_EQ(PasswordHelper::generatePassword(option, random), QStringLiteral("73"));
}

TEST(PasswordGeneratorTest, SelectedCharactersKeepDuplicatesAndGraphemes) {
    ScriptedRandom random;
    auto option = selected(QStringLiteral("aaé"), 3); // é as e + combining acute
    option.selectedCharSet = {QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("e\u0301")};
    random.draws(3, {2, 1, 2});
    EXPECT_EQ(PasswordHelper::generatePassword(option, random), QStringLiteral("e\u0301ae\u0301"));
}

TEST(PasswordGeneratorTest, BestPasswordKeepsTheEarliestOfEqualEntropy) {
    ScriptedRandom random;
    const auto option = selected(QStringLiteral("abJ"), 4);
    random.draws(3, {0, 0, 0, 0}); // aaaa: 18 bits
    random.draws(3, {0, 2, 0, 0}); // aJaa: 22 bits
    random.draws(3, {1, 2, 1, 1}); // bJbb: 22 bits, a tie
    EXPECT_EQ(PasswordHelper::generateBestPassword(option, 3, random), QStringLiteral("aJaa"));
}

TEST(PasswordGeneratorTest, SimplePasswordDrawsFromTheUnionInClassOrder) {
    ScriptedRandom random;
    // Pool: 26 upper then 10 digits.
    random.draws(36, {0, 25, 26, 35});
    EXPECT_EQ(PasswordHelper::generateSimplePassword(4, true, false, false, true, random),
              QStringLiteral("AZ09"));
    EXPECT_TRUE(
        PasswordHelper::generateSimplePassword(4, false, false, false, false, random).isEmpty());
    SystemRandomSource counting;
    EXPECT_EQ(PasswordHelper::generateSimplePassword(0, true, true, true, true, counting).size(),
              1);
    EXPECT_EQ(PasswordHelper::generateSimplePassword(9999, true, true, true, true, counting).size(),
              255);
}

TEST(PasswordGeneratorTest, CharactersSplitsIntoUserPerceivedCharacters) {
    EXPECT_EQ(PasswordHelper::characters(QStringLiteral("Äb🔑e\u0301")),
              (QStringList{QStringLiteral("Ä"), QStringLiteral("b"), QStringLiteral("🔑"),
                           QStringLiteral("e\u0301")}));
    EXPECT_TRUE(PasswordHelper::characters(QString()).isEmpty());
}

// Rules that hold for every password of an option set.
struct RuleCase {
    const char* name;
    PasswordGeneratorOption option;
};

class GeneratorRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(GeneratorRuleTest, LengthAlphabetAtLeastOneAndNeighbours) {
    const PasswordGeneratorOption& o = GetParam().option;
    QSet<QString> alphabet;
    QList<QSet<QString>> classSets;
    if (o.useOnlySelectedChars) {
        alphabet = QSet<QString>(o.selectedCharSet.begin(), o.selectedCharSet.end());
    } else {
        const std::array<std::pair<int, QString>, 4> fixed{
            {{o.uppercasePercent, PasswordHelper::upperCaseChars()},
             {o.lowercasePercent, PasswordHelper::lowerCaseChars()},
             {o.specialPercent, PasswordHelper::specialChars()},
             {o.numbersPercent, PasswordHelper::digitChars()}}};
        for (const auto& [percent, chars] : fixed) {
            if (percent != 0) {
                const QStringList list = PasswordHelper::characters(chars);
                classSets.append(QSet<QString>(list.begin(), list.end()));
            }
        }
        if (o.customCharPercent != 0) {
            classSets.append(QSet<QString>(o.customCharSet.begin(), o.customCharSet.end()));
        }
        for (const auto& set : classSets) {
            alphabet.unite(set);
        }
    }
    SystemRandomSource random;
    for (int i = 0; i < 300; ++i) {
        const QStringList chars =
            PasswordHelper::characters(PasswordHelper::generatePassword(o, random));
        ASSERT_EQ(chars.size(), o.passwordLength);
        for (qsizetype k = 0; k < chars.size(); ++k) {
            ASSERT_TRUE(alphabet.contains(chars.at(k))) << chars.at(k).toStdString();
            if (o.excludeIdentical && k > 0) {
                ASSERT_NE(chars.at(k), chars.at(k - 1));
            }
        }
        if (o.useAtleastOneOfSelected) {
            const QSet<QString> used(chars.begin(), chars.end());
            for (const auto& set : classSets) {
                ASSERT_TRUE(used.intersects(set));
            }
        }
    }
}

PasswordGeneratorOption with(PasswordGeneratorOption o, int length, bool atLeastOne,
                             bool excludeIdentical) {
    o.passwordLength = length;
    o.useAtleastOneOfSelected = atLeastOne;
    o.excludeIdentical = excludeIdentical;
    return o;
}

PasswordGeneratorOption customOnly(QStringList set, bool excludeIdentical) {
    auto o = classes(0, 0, 0, 0, 100);
    o.customCharSet = std::move(set);
    o.excludeIdentical = excludeIdentical;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Generator, GeneratorRuleTest,
    ::testing::Values(
        RuleCase{"Defaults", PasswordGeneratorOption{}},
        RuleCase{"AtLeastOneFourClasses", with(PasswordGeneratorOption{}, 24, true, false)},
        RuleCase{"AtLeastOneShortest", with(classes(20, 20, 20, 20, 20), 5, true, false)},
        RuleCase{"AllRulesWithUmlauts", with(classes(20, 20, 20, 20, 20), 8, true, true)},
        RuleCase{"DigitsOnlyNoNeighbours", with(classes(0, 0, 0, 100), 64, false, true)},
        RuleCase{"SmallBandAtLeastOne", with(classes(96, 1, 1, 1, 1), 40, true, false)},
        RuleCase{"SelectedNoNeighbours",
                 with(selected(QStringLiteral("abcdefghij"), 40), 40, false, true)},
        RuleCase{"SelectedTwoCharsMostlyOne",
                 with(selected(QStringLiteral("aaaaaaaaab"), 30), 30, false, true)},
        RuleCase{"SingleCharacter", with(classes(0, 100, 0, 0), 1, true, true)},
        // An empty custom class is no error while its band lies beyond 100.
        RuleCase{"CutOffEmptyCustomClass",
                 [] {
                     auto o = classes(100, 0, 0, 0, 10);
                     o.customCharSet.clear();
                     return o;
                 }()},
        RuleCase{"OneRepeatedCharacterLengthOne",
                 with(selected(QStringLiteral("zz"), 1), 1, false, true)}),
    [](const auto& info) { return std::string(info.param.name); });

// Inputs that cannot produce a password end with an error, never a hang or a fault.
struct ErrorCase {
    const char* name;
    PasswordGeneratorOption option;
    int tries;
};

class GeneratorErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(GeneratorErrorTest, ThrowsWithAMessage) {
    SystemRandomSource random;
    try {
        PasswordHelper::generateBestPassword(GetParam().option, GetParam().tries, random);
        FAIL() << "no error";
    } catch (const CommonException& e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
}

ErrorCase errorCase(const char* name, PasswordGeneratorOption o, int tries = 1) {
    return ErrorCase{name, std::move(o), tries};
}

INSTANTIATE_TEST_SUITE_P(
    Generator, GeneratorErrorTest,
    ::testing::Values(
        errorCase("LengthZero", with(PasswordGeneratorOption{}, 0, false, false)),
        errorCase("LengthNegative", with(PasswordGeneratorOption{}, -3, false, false)),
        errorCase("Length100000", with(PasswordGeneratorOption{}, 100000, false, false)),
        errorCase("EmptySelectedSet", selected(QString(), 10)),
        errorCase("SelectedOneRepeatedNoNeighbours",
                  with(selected(QStringLiteral("aaaa"), 5), 5, false, true)),
        errorCase("CustomOneRepeatedNoNeighbours",
                  customOnly({QStringLiteral("x"), QStringLiteral("x")}, true)),
        errorCase("CustomEmptyButDrawn", customOnly({}, false)),
        errorCase("NoClass", classes(0, 0, 0, 0)),
        errorCase("NegativePercent", classes(-10, 50, 0, 0)),
        errorCase("AtLeastOneShorterThanClasses", with(PasswordGeneratorOption{}, 3, true, false)),
        errorCase("AtLeastOneWithCutOffClass", with(classes(60, 60, 60, 0), 24, true, false)),
        errorCase("ZeroTries", PasswordGeneratorOption{}, 0),
        errorCase("TooManyTries", PasswordGeneratorOption{}, 1000000)),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace keskor
