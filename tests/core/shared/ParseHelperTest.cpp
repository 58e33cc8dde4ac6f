#include "core/shared/ParseHelper.h"

#include <QXmlStreamReader>
#include <gtest/gtest.h>

using keskor::ParseHelper;

namespace {

TEST(ParseHelperTest, BooleansWithAndWithoutNames) {
    EXPECT_EQ(ParseHelper::stringFromBool(true, false), QStringLiteral("1"));
    EXPECT_EQ(ParseHelper::stringFromBool(false, false), QStringLiteral("0"));
    EXPECT_EQ(ParseHelper::stringFromBool(true, true), QStringLiteral("True"));
    EXPECT_EQ(ParseHelper::parseBool(QStringLiteral(" TRUE ")), true);
    EXPECT_EQ(ParseHelper::parseBool(QStringLiteral("0")), false);
    EXPECT_EQ(ParseHelper::parseBool(QStringLiteral("maybe")), std::nullopt);
}

TEST(ParseHelperTest, DoublesAreShortestAndReadBackExactly) {
    for (const double v : {0.0, 1.0, -2.5, 45123.123456789, 1e20, 0.1}) {
        const QString text = ParseHelper::stringFromDouble(v);
        EXPECT_FALSE(text.contains(QLatin1Char(','))) << text.toStdString();
        EXPECT_EQ(ParseHelper::parseDouble(text), v) << text.toStdString();
    }
    EXPECT_EQ(ParseHelper::stringFromDouble(45123.5), QStringLiteral("45123.5"));
    EXPECT_EQ(ParseHelper::parseDouble(QStringLiteral("1,5")), std::nullopt);
    EXPECT_EQ(ParseHelper::parseDouble(QStringLiteral("inf")), std::nullopt);
}

TEST(ParseHelperTest, CurrencyKeepsTwoToFourDecimals) {
    EXPECT_EQ(ParseHelper::stringFromCurrency(12.5), QStringLiteral("12.50"));
    EXPECT_EQ(ParseHelper::stringFromCurrency(0.1234), QStringLiteral("0.1234"));
    EXPECT_EQ(ParseHelper::stringFromCurrency(3.0), QStringLiteral("3.00"));
    EXPECT_EQ(ParseHelper::stringFromCurrency(-0.0), QStringLiteral("0.00"));
    EXPECT_EQ(ParseHelper::stringFromCurrency(99.999), QStringLiteral("99.999"));
}

TEST(ParseHelperTest, IntegersRefuseTrailingText) {
    EXPECT_EQ(ParseHelper::parseInteger(QStringLiteral("-42")), -42);
    EXPECT_EQ(ParseHelper::parseInteger(QStringLiteral("42abc")), std::nullopt);
}

TEST(ParseHelperTest, XmlEscapingSurvivesAStandardParserInTextAndAttributes) {
    const QString raw = QStringLiteral("a<b>&\"c'\td\ne\rf") + QChar(0x01) + QStringLiteral("ü🔑") +
                        QChar(0xD800) + QStringLiteral("end");
    const QString escaped = ParseHelper::rawStringToXml(raw);
    const QString doc = QStringLiteral("<r a=\"%1\">%1</r>").arg(escaped);
    QXmlStreamReader reader(doc);
    ASSERT_TRUE(reader.readNextStartElement());
    const QString attribute = reader.attributes().value(QLatin1String("a")).toString();
    const QString text = reader.readElementText();
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    QString expected = raw;
    expected.replace(QChar(0x01), QChar(0xFFFD)).replace(QChar(0xD800), QChar(0xFFFD));
    EXPECT_EQ(text, expected);
    EXPECT_EQ(attribute, expected);
}

} // namespace
