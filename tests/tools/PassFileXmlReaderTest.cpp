// Reading our own XML export back: write -> read -> write gives the same document, values come
// back field by field, imports get fresh fingerprints, and damaged documents are refused with
// the line they fail on.

#include "tools/PassFileXmlReader.h"

#include "core/shared/CommonException.h"
#include "testing/SampleDatabase.h"
#include "tests/support/QtPrinters.h"
#include "tools/PassFileXmlWriter.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using namespace Qt::Literals::StringLiterals;

const QDateTime kFirstExport(QDate(2024, 3, 5), QTime(14, 7, 9));
const QDateTime kSecondExport(QDate(2025, 7, 1), QTime(8, 0, 0));

/// The export moment and the freshly-nonced backup server differ between any two writes.
QByteArray withoutVolatileParts(QByteArray xml) {
    static const QRegularExpression volatileParts(
        u"<datetime>[^<]*</datetime>|<backupserver>[^<]*</backupserver>"_s);
    return QString::fromUtf8(xml).replace(volatileParts, u"<volatile/>"_s).toUtf8();
}

PassFile hostileFile() {
    PassFile f = testing::SampleDatabase::full();
    const QString hostile =
        u"<a href=\"x\">&'amp;</a> ]]> Grüße 世界 🔑 a\u0001b\tc\nd\r\ne\rf "_s + QChar(0xD800);
    auto folder = Info2Item::createFolder(u"F&<>\"' ö"_s);
    folder->setComment(u"line1\nline2\ttab \"q\""_s);
    folder->setText(ItemText::Category, u"null"_s);
    auto e = Info2Item::create(Info2Item::TypePassword, hostile);
    e->setPassword(hostile);
    e->setUserName(QString(""));
    e->setText(ItemText::Tags, u"a,b"_s);
    e->mutableCustomFields() = {PswField{u"n\"a<m>e"_s, hostile, QString(), true},
                       PswField{QString(), QString(""), u"in&put"_s, false}};
    e->mutableAdditionalUrls() = {hostile, QString()};
    e->mutableTans() = {TanItem{hostile, u"1"_s, 45000.5, 12.3456, hostile, QString()}};
    e->mutableAttachments() = {Attachment{hostile, QString(), -1.25, QByteArray("\0\xff<&>", 5)}};
    e->mutableHistory().push_back(*e);
    folder->addSubItem(e);
    f.addItem(folder);
    return f;
}

struct RoundTripCase {
    const char* name;
    std::function<PassFile()> make;
};
void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.name;
}

class XmlReaderRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {
protected:
    EncryptionHelper protection{Key256::random()};
    PassFileXmlReader reader{protection};
};

TEST_P(XmlReaderRoundTripTest, WritingWhatWasReadGivesTheSameDocument) {
    const PassFile original = GetParam().make();
    const QByteArray first = PassFileXmlWriter(protection, kFirstExport).write(original);
    const auto document = reader.readFile(first);
    EXPECT_TRUE(document.warnings.isEmpty()) << document.warnings.join('|').toStdString();
    const QByteArray second = PassFileXmlWriter(protection, kSecondExport).write(document.file);
    ASSERT_EQ(withoutVolatileParts(second), withoutVolatileParts(first));
    EXPECT_NE(second, first); // the export moment is not carried over
    EXPECT_EQ(document.file.backupServer, original.backupServer);
    EXPECT_EQ(document.file.itemCount(), original.itemCount());
}

INSTANTIATE_TEST_SUITE_P(
    Samples, XmlReaderRoundTripTest,
    ::testing::Values(RoundTripCase{"Full", [] { return testing::SampleDatabase::full(); }},
                      RoundTripCase{"Large", [] { return testing::SampleDatabase::large(3000); }},
                      RoundTripCase{"Hostile", hostileFile},
                      RoundTripCase{"Empty",
                                    [] {
                                        return PassFile::createNewFile(
                                            PassFile::FileType::Plain, std::nullopt,
                                            PassFile::AuthenticationType::KeyFile, false);
                                    }}),
    [](const auto& info) { return std::string(info.param.name); });

/// A document with the header on line 3 and `passwords` starting on line 5.
QByteArray document(const QByteArray& passwords, const QByteArray& header = {}) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<passwordfile xmlns=\"https://keskor.org/schemas/passwordfile/12.0/"
           "passwordfile.xsd\">\n"
           "<header><dataformat>12</dataformat>" +
           header + "</header>\n<passwords>\n" + passwords + "\n</passwords>\n</passwordfile>\n";
}

class XmlReaderTest : public ::testing::Test {
protected:
    EncryptionHelper protection{Key256::random()};
    PassFileXmlWriter writer{protection, kFirstExport};
    PassFileXmlReader reader{protection};
};

// The round trip above shows every written value comes back; these are the readings that a
// second write cannot tell apart: the 12-hour clock and "null" texts.
TEST_F(XmlReaderTest, LossyValuesReadAsTheWriterMeantThem) {
    const PassFile original = testing::SampleDatabase::full();
    const PassFile f = reader.readFile(writer.write(original)).file;
    EXPECT_DOUBLE_EQ(f.lastModified, original.lastModified);

    ASSERT_EQ(f.items().size(), original.items().size());
    EXPECT_EQ(f.items().at(0)->category(), std::nullopt); // written as "null"
    EXPECT_TRUE(f.items().at(2)->isFolder);
    EXPECT_TRUE(f.items().at(2)->description().isNull());

    const Info2Item& got = *f.items().at(1);
    EXPECT_EQ(got.texts(), original.items().at(1)->texts());
    EXPECT_EQ(got.expiryDate, 47099.0);
    EXPECT_DOUBLE_EQ(got.created, 44000.5);       // noon: "12:00:00"
    EXPECT_DOUBLE_EQ(got.lastModified, 45099.25); // 06:00
    EXPECT_DOUBLE_EQ(got.lastAccessed, 45100.25); // 18:00 was written as "06:00:00"
    ASSERT_EQ(got.history().size(), 2u);
    EXPECT_EQ(got.history()[0].password(), u"older password 99"_s);
    EXPECT_TRUE(got.history()[0].history().empty());
}

TEST_F(XmlReaderTest, ImportedItemsGetFreshFingerprintsAndCounts) {
    const PassFile original = testing::SampleDatabase::full();
    const ImportedItems imported = reader.readItems(writer.write(original));
    ASSERT_EQ(imported.items.size(), 3u);
    EXPECT_EQ(imported.folderCount, 3u); // Banking, Online, the unnamed one
    EXPECT_EQ(imported.entryCount, 14u); // 13 kinds and the trashed entry
    QSet<QString> seen;
    std::function<void(const Info2Item&)> visit = [&](const Info2Item& item) {
        EXPECT_EQ(original.findItem(item.fingerprint()), nullptr) << "reused fingerprint";
        EXPECT_FALSE(seen.contains(item.fingerprint()));
        seen.insert(item.fingerprint());
        for (const Info2Item& version : item.history()) {
            EXPECT_EQ(version.fingerprint(), item.fingerprint());
        }
        for (const auto& child : item.subItems()) {
            EXPECT_EQ(child->parent(), &item);
            visit(*child);
        }
    };
    for (const auto& item : imported.items) {
        EXPECT_EQ(item->parent(), nullptr);
        visit(*item);
    }
    EXPECT_EQ(seen.size(), 17);
    EXPECT_EQ(imported.items[0]->subItems().at(0)->description(), u"Online"_s);
}

TEST_F(XmlReaderTest, FolderExportsBecomeOneTopFolder) {
    const PassFile original = testing::SampleDatabase::full();
    const Info2Item& banking = *original.items().at(0);

    const ImportedItems nested = reader.readItems(writer.write(original, {&banking, true, {}}));
    ASSERT_EQ(nested.items.size(), 1u);
    EXPECT_EQ(nested.items[0]->description(), u"Banking"_s);
    EXPECT_EQ(nested.items[0]->countWithDescendants(), banking.countWithDescendants());

    // Without sub-folders the writer lists "Online" as an item of the folder kind.
    const ImportedItems flat = reader.readItems(writer.write(original, {&banking, false, {}}));
    ASSERT_EQ(flat.items.size(), 1u);
    const Info2Item& online = *flat.items[0]->subItems().at(0);
    EXPECT_TRUE(online.isFolder);
    EXPECT_EQ(online.description(), u"Online"_s);
    EXPECT_TRUE(online.subItems().empty());
    EXPECT_EQ(flat.folderCount, 2u);
}

TEST_F(XmlReaderTest, NullMeansMissingOnlyWhereTheWriterWritesIt) {
    const auto imported = reader.readItems(
        document("<group name=\"null\" fingerprint=\"null\"><item><description>null</description>"
                 "<password>null</password><customfields><field name=\"n\" value=\"null\" "
                 "inputid=\"null\" visible=\"0\" /></customfields></item></group>"));
    ASSERT_EQ(imported.items.size(), 1u);
    const Info2Item& e = *imported.items[0];
    EXPECT_TRUE(e.description().isNull());
    EXPECT_EQ(e.password(), u"null"_s);
    ASSERT_EQ(e.customFields().size(), 1);
    EXPECT_TRUE(e.customFields()[0].value.isNull());
    EXPECT_TRUE(e.customFields()[0].inputId.isNull());
    EXPECT_FALSE(e.customFields()[0].visible);
}

TEST_F(XmlReaderTest, ElementsOfLaterVersionsAreSkipped) {
    const auto doc = reader.readFile(document(
        "<group name=\"null\" fingerprint=\"null\"><item><description>x</description>"
        "<future a=\"1\"><deeper>t</deeper></future><type>3</type></item><sidecar/></group>",
        "<newsetting>1</newsetting>"));
    ASSERT_EQ(doc.file.items().size(), 1u);
    EXPECT_EQ(doc.file.items()[0]->type, 3);
}

TEST_F(XmlReaderTest, BackupServerOfAnotherInstallationIsLeftOutWithAWarning) {
    const QByteArray xml = writer.write(testing::SampleDatabase::full());
    EncryptionHelper otherKey(Key256::random());
    const auto doc = PassFileXmlReader(otherKey).readFile(xml);
    EXPECT_EQ(doc.file.backupServer, std::nullopt);
    ASSERT_EQ(doc.warnings.size(), 1);
    EXPECT_FALSE(doc.warnings[0].contains(u"backup.example"_s));
}

TEST_F(XmlReaderTest, ProgressIsReportedSparinglyAndEndsAtTheTotal) {
    const QByteArray xml = writer.write(testing::SampleDatabase::large(2500));
    std::vector<std::pair<qint64, qint64>> calls;
    reader.readItems(xml, [&](qint64 done, qint64 total) { calls.emplace_back(done, total); });
    // 1,110 folders and 2,500 entries: a call per thousand, then the final one.
    ASSERT_EQ(calls.size(), 4u);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, xml.size());
        EXPECT_LE(calls[i].first, calls[i].second);
        if (i > 0) {
            EXPECT_GT(calls[i].first, calls[i - 1].first);
        }
    }
    EXPECT_EQ(calls.back().first, xml.size());
}

struct MalformedCase {
    const char* name;
    QByteArray xml;
    const char* expected; // the message starts with this
};
void PrintTo(const MalformedCase& c, std::ostream* os) {
    *os << c.name;
}

QByteArray deepGroups(int depth) {
    QByteArray open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<group name=\"g\" fingerprint=\"f\" imageindex=\"0\">\n";
        close += "</group>";
    }
    return open + close;
}

class XmlReaderMalformedTest : public XmlReaderTest,
                               public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(XmlReaderMalformedTest, RefusedWithTheLine) {
    try {
        reader.readItems(GetParam().xml);
        FAIL() << "accepted";
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().startsWith(QString::fromUtf8(GetParam().expected)))
            << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(u"s3cret"_s)) << e.message().toStdString();
    }
}

const QByteArray kHead = "<?xml version=\"1.0\"?>\n<passwordfile "
                         "xmlns=\"https://keskor.org/schemas/passwordfile/12.0/passwordfile.xsd\">";

INSTANTIATE_TEST_SUITE_P(
    Documents, XmlReaderMalformedTest,
    ::testing::Values(
        MalformedCase{"Empty", "", "The file is empty."},
        MalformedCase{"NotXml", "password,user\n", "line 1: the file is not well-formed XML"},
        MalformedCase{"OtherRoot", "<?xml version=\"1.0\"?>\n\n<KeePassFile/>",
                      "line 3: this is not a Keskor XML export"},
        MalformedCase{"OtherNamespace", "<passwordfile xmlns=\"urn:x\"/>",
                      "line 1: this is not a Keskor XML export"},
        MalformedCase{"Doctype",
                      "<?xml version=\"1.0\"?>\n<!DOCTYPE p [<!ENTITY a \"aaaa\">]>\n"
                      "<passwordfile>&a;</passwordfile>",
                      "line 2: documents with a DOCTYPE are not accepted"},
        MalformedCase{"Truncated", kHead + "\n<passwords><group>\n<item>",
                      "line 4: the file is not well-formed XML"},
        MalformedCase{"TrailingContent", document("") + "<again/>",
                      "line 8: the file is not well-formed XML"},
        MalformedCase{"BadType",
                      document("<group name=\"null\" fingerprint=\"null\"><item>\n"
                               "<type>one</type></item></group>"),
                      "line 6: \"type\" is not a valid whole number"},
        MalformedCase{"BadBool", document("<item><secondeye>maybe</secondeye></item>"),
                      "line 5: \"secondeye\" is not 0 or 1"},
        MalformedCase{"BadDate",
                      document("<item>\n\n<created>31.02.2024 10:00:00</created></item>"),
                      "line 7: \"created\" is not a date"},
        MalformedCase{"BadExpiryForm",
                      document("<item><expirydate>01.02.2024 10:00:00"
                               "</expirydate></item>"),
                      "line 5: \"expirydate\" is not a date of the form dd.MM.yyyy"},
        MalformedCase{"ChildInsideText",
                      document("<item>\n<password>s3cret<b>bold</b></password></item>"),
                      "line 6: the file is not well-formed XML"},
        MalformedCase{"BadAttachmentData",
                      document("<item><attachments><attachment>\n<data>@@@@"
                               "</data></attachment></attachments></item>"),
                      "line 6: the attachment's data is not valid base64"},
        MalformedCase{"BadGroupIcon",
                      document("<group name=\"g\" fingerprint=\"f\" "
                               "imageindex=\"x\"></group>"),
                      "line 5: the group's \"imageindex\" is not a valid whole number"},
        MalformedCase{"BadAuthType", document("", "<authtype>7</authtype>"),
                      "line 3: \"authtype\" is not a valid whole number"},
        MalformedCase{"NewerDataFormat", document("", "<dataformat>13</dataformat>"),
                      "line 3: the export was written by a newer version"},
        MalformedCase{"NestedTooDeep", document(deepGroups(65)),
                      "line 69: folders are nested more than 64 deep"},
        MalformedCase{"NoPasswords", kHead + "<header/></passwordfile>",
                      "The export holds no \"passwords\" element."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(XmlReaderTest, SixtyFourFoldersDeepAreAccepted) {
    const auto imported = reader.readItems(document(deepGroups(64)));
    ASSERT_EQ(imported.items.size(), 1u);
    EXPECT_EQ(imported.items[0]->countWithDescendants(), 64u);
}

} // namespace
} // namespace keskor
