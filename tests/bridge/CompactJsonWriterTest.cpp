#include "bridge/CompactJsonWriter.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace keskor;

namespace {

struct JsonCase {
    const char* name;
    QVariant value;
};

QString everyAsciiCharacter() {
    QString text;
    for (char16_t u = 0; u < 0x80; ++u) {
        text.append(QChar(u));
    }
    return text;
}

// Qt's own writer is the reference: whatever a reply holds, an extension gets the same bytes.
class CompactJsonWriterMatchesQt : public ::testing::TestWithParam<JsonCase> {};

TEST_P(CompactJsonWriterMatchesQt, AsTheOnlyValueAndBesideOthers) {
    for (const QVariantMap& map :
         {QVariantMap{{QStringLiteral("v"), GetParam().value}},
          QVariantMap{{QStringLiteral("a"), 1},
                      {QStringLiteral("v"), GetParam().value},
                      {QStringLiteral("z"), QVariantList{GetParam().value, GetParam().value}}}}) {
        const QByteArray expected =
            QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Compact);
        EXPECT_EQ(CompactJsonWriter::write(map), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, CompactJsonWriterMatchesQt,
    ::testing::Values(
        JsonCase{"emptyText", QString()}, JsonCase{"everyAsciiCharacter", everyAsciiCharacter()},
        JsonCase{"accentsAndCjk", QString::fromUtf8("Grüße, 東京 ©")},
        JsonCase{"astralPair", QString::fromUtf8("key 🔑 end")},
        JsonCase{"loneHighSurrogate", QString(QChar(0xD83D)) + QStringLiteral("x")},
        JsonCase{"loneLowSurrogate", QStringLiteral("x") + QChar(0xDD11)},
        JsonCase{"highSurrogateAtTheEnd", QStringLiteral("x") + QChar(0xD83D)},
        JsonCase{"boolean", true}, JsonCase{"nullValue", QVariant::fromValue(nullptr)},
        JsonCase{"noValue", QVariant()}, JsonCase{"zero", 0}, JsonCase{"negativeInt", -17},
        JsonCase{"smallestInt", std::numeric_limits<int>::min()},
        JsonCase{"unsignedInt", std::numeric_limits<uint>::max()},
        JsonCase{"largestLongLong", std::numeric_limits<qlonglong>::max()},
        JsonCase{"smallestLongLong", std::numeric_limits<qlonglong>::min()},
        JsonCase{"unsignedLongLongThatFits", qulonglong(1) << 62},
        JsonCase{"unsignedLongLongAtTheLimit", qulonglong(std::numeric_limits<qlonglong>::max())},
        JsonCase{"unsignedLongLongBeyond", std::numeric_limits<qulonglong>::max()},
        JsonCase{"fraction", 0.1}, JsonCase{"wholeDouble", 2.0}, JsonCase{"hugeDouble", 1e300},
        JsonCase{"tinyDouble", -5e-324}, JsonCase{"negativeZero", -0.0},
        JsonCase{"notANumber", std::nan("")},
        JsonCase{"infinity", std::numeric_limits<double>::infinity()}, JsonCase{"floatValue", 1.5f},
        JsonCase{"shortValue", QVariant::fromValue<short>(-3)},
        JsonCase{"longValue", QVariant::fromValue<long>(123456789L)},
        JsonCase{"stringList", QStringList{QStringLiteral("a\"b"), QString()}},
        JsonCase{"nestedListsAndMaps",
                 QVariantList{QVariantMap{{QStringLiteral("k\n"), QVariantList{}},
                                          {QStringLiteral("b"), QVariantMap{}}},
                              3.25, QString()}},
        JsonCase{"byteArray", QByteArray("bytes \xc3\xa4")},
        JsonCase{"dateTime", QDateTime(QDate(2026, 12, 7), QTime(12, 30), Qt::UTC)},
        JsonCase{"url", QUrl(QStringLiteral("https://example.com/a b"))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompactJsonWriter, WritesKeysInTheMapsOrderWithTheirEscapes) {
    const QVariantMap map{{QStringLiteral("b"), 1},
                          {QStringLiteral("A\"\\"), 2},
                          {QStringLiteral("ä"), 3},
                          {QString(), 4}};
    EXPECT_EQ(CompactJsonWriter::write(map), QByteArray(R"({"":4,"A\"\\":2,"b":1,"ä":3})"));
    EXPECT_EQ(CompactJsonWriter::write({}), QByteArray("{}"));
}

} // namespace
