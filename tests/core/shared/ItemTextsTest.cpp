#include "core/shared/Info2Item.h"
#include "core/shared/PassFileCodec.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

struct Form {
    const char* name;
    QString fingerprint;
};

class ItemTextsTest : public ::testing::TestWithParam<Form> {};

TEST_P(ItemTextsTest, EveryFormComesBackAsSetAndIsFound) {
    const QString fingerprint = GetParam().fingerprint;
    auto folder = Info2Item::createFolder(QStringLiteral("f"));
    auto entry = std::make_shared<Info2Item>();
    entry->setFingerprint(fingerprint);
    entry->setDescription(QStringLiteral("Zürich 🔑"));
    entry->setText(ItemText::Tags, QString::fromLatin1(""));
    entry->setText(ItemText::Password, QStringLiteral("pässword"));
    entry->setText(ItemText::Comment, QString());
    entry->setText(ItemText::Url, QStringLiteral("u"));
    entry->setText(ItemText::Url, std::nullopt);
    folder->addSubItem(entry);

    const Info2Item parsed = PassFileCodec::parseItem(PassFileCodec::serializeItem(*entry));
    for (const Info2Item* item : {static_cast<const Info2Item*>(entry.get()), &parsed}) {
        EXPECT_EQ(item->fingerprint(), fingerprint);
        EXPECT_EQ(item->fingerprint().isNull(), fingerprint.isNull());
        EXPECT_EQ(item->description(), QStringLiteral("Zürich 🔑"));
        EXPECT_EQ(item->password(), QStringLiteral("pässword"));
        ASSERT_TRUE(item->text(ItemText::Tags));
        EXPECT_FALSE(item->text(ItemText::Tags)->isNull());
        ASSERT_TRUE(item->comment());
        EXPECT_TRUE(item->comment()->isNull());
        EXPECT_FALSE(item->url());
        EXPECT_EQ(item->texts().size(), 3u);
    }
    EXPECT_TRUE(parsed.sameContent(*entry));

    const auto other = Info2Item::create(1, QStringLiteral("other"));
    folder->insertSubItem(0, other);
    EXPECT_EQ(folder->findDescendant(fingerprint), entry);
    EXPECT_EQ(folder->findDescendant(other->fingerprint()), other);
    EXPECT_EQ(folder->findDescendant(fingerprint + QLatin1Char('x')), nullptr);
}

// Our writer keeps fields in order; a hand-made body may not, and the last value then wins.
TEST(ItemTextsOrderTest, FieldsOutOfOrderOrRepeatedAreSortedAndTheLastOneWins) {
    Info2Item item;
    item.setText(ItemText::Password, QStringLiteral("p"));
    QByteArray body = PassFileCodec::serializeItem(item);
    const QByteArray ordered("\x01\x00\x01\x00\x00\x00p", 7);
    const qsizetype at = body.indexOf(ordered);
    ASSERT_GE(at, 0);
    const QByteArray shuffled("\x03"
                              "\x02\x01\x00\x00\x00u"
                              "\x00\x01\x00\x00\x00"
                              "a"
                              "\x02\x01\x00\x00\x00v",
                              19);
    body.replace(at, ordered.size(), shuffled);

    const Info2Item parsed = PassFileCodec::parseItem(body);
    ASSERT_EQ(parsed.texts().size(), 2u);
    EXPECT_EQ(parsed.texts()[0], std::pair(ItemText::Password, QStringLiteral("a")));
    EXPECT_EQ(parsed.texts()[1], std::pair(ItemText::Url, QStringLiteral("v")));
    EXPECT_EQ(PassFileCodec::parseItem(PassFileCodec::serializeItem(parsed)).texts(),
              parsed.texts());
}

INSTANTIATE_TEST_SUITE_P(
    Fingerprints, ItemTextsTest,
    ::testing::Values(
        Form{"Uuid", QStringLiteral("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}")},
        Form{"LowerCaseUuid", QStringLiteral("{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}")},
        Form{"UuidWithoutBraces", QStringLiteral("0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9")},
        Form{"MisplacedDash", QStringLiteral("{0A1B2C3D4-E5F-6071-8293-A4B5C6D7E8F9}")},
        Form{"ShortText", QStringLiteral("{DB}")}, Form{"Empty", QString::fromLatin1("")},
        Form{"Null", QString()}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
