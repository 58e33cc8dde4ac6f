#include "tools/PwnedRangeParser.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

// The suffix as the client holds it: lower case, 35 characters.
const QString kSuffix = QStringLiteral("1e4c9b93f3f0682250b6cf8331b7ee68fd8");
const QString kUpper = kSuffix.toUpper();

struct BodyCase {
    const char* name;
    QString body;
    qint64 count;
};

class PwnedRangeBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(PwnedRangeBody, YieldsItsCount) {
    EXPECT_EQ(PwnedRangeParser::countForSuffix(GetParam().body, kSuffix), GetParam().count);
}

const QString kOther = QStringLiteral("0018A45C4D1DEF81644B54AB7F969B88D65:1");

INSTANTIATE_TEST_SUITE_P(
    LineForms, PwnedRangeBody,
    ::testing::Values(
        BodyCase{"UpperCaseAnswerMatchesLowerCaseSuffix", kOther + "\n" + kUpper + ":3861493",
                 3861493},
        BodyCase{"CrLfLikeBareLf", kOther + "\r\n" + kUpper + ":42\r\n" + kOther, 42},
        BodyCase{"LastLineWithoutBreak", kUpper + ":7", 7},
        BodyCase{"OtherUnicodeBreaks",
                 kOther + QChar(0x2028) + kUpper + ":5" + QChar(0x0085) + kOther + "\v" + kOther,
                 5},
        BodyCase{"PaddingLineWithZeroCount", kOther + "\r\n" + kUpper + ":0\r\n", 0},
        BodyCase{"NoMatchingLine", kOther + "\r\n" + kOther, 0},
        BodyCase{"NonNumericCountIsZero", kUpper + ":lots", 0},
        BodyCase{"NegativeCountIsZero", kUpper + ":-4", 0},
        BodyCase{"OverflowingCountIsZero", kUpper + ":99999999999999999999999", 0},
        BodyCase{"LineWithoutColonIsSkipped", kUpper + "\n" + kOther, 0},
        BodyCase{"ExtraPartsAreIgnored", kUpper + ":12:junk", 12},
        BodyCase{"LongerSuffixDoesNotMatch", kUpper + "0:9", 0},
        BodyCase{"PrefixPlusSuffixDoesNotMatch", "21BD1" + kUpper + ":9", 0},
        BodyCase{"EmptyLinesAreDropped", "\n\n\r\n" + kUpper + ":2\n\n", 2},
        BodyCase{"LaterMatchWins", kUpper + ":1\n" + kUpper + ":8", 8},
        BodyCase{"GarbageBody", QStringLiteral("<html>503 Service Unavailable</html>"), 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace keskor
