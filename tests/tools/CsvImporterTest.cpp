// CSV import: RFC 4180 quoting and line breaks, header synonyms, shared folder paths, custom
// columns, and malformed text refused with the line its record starts on.

#include "tools/CsvImporter.h"

#include "core/shared/CommonException.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

using namespace Qt::Literals::StringLiterals;

const QByteArray kSample =
    "\xEF\xBB\xBF"
    "Title,User Name,PASSWORD,Website,Comments,Folder,Category,Tags,PIN,,Name\r\n"
    "Bank – Zürich,müller,\"p,w\"\"d\",https://bank.example,\"Zeile 1\r\nZeile 2, mit Komma\","
    "Finance/Banks,Money,\"a; b\",1234,x,second\r\n"
    "Mail,me,secret,,,Finance,,,,,\r\n"
    "\"Top, level\",,pw,,,,,,,,\r\n"
    "\r\n"
    ",,,,,,,,,,\r\n"
    "Deep,,pw2,,,/Finance/ Banks /,,,,,\r\n";

TEST(CsvImporterTest, SampleBuildsSharedNestedFoldersInFileOrder) {
    const ImportedItems imported = CsvImporter::read(kSample);
    EXPECT_EQ(imported.folderCount, 2u);
    EXPECT_EQ(imported.entryCount, 4u);
    ASSERT_EQ(imported.items.size(), 2u);
    const Info2Item& finance = *imported.items[0];
    EXPECT_TRUE(finance.isFolder);
    EXPECT_EQ(finance.description(), u"Finance"_s);
    EXPECT_EQ(imported.items[1]->description(), u"Top, level"_s);
    EXPECT_EQ(imported.items[1]->parent(), nullptr);

    ASSERT_EQ(finance.subItems().size(), 2u);
    const Info2Item& banks = *finance.subItems()[0];
    EXPECT_EQ(banks.description(), u"Banks"_s);
    EXPECT_EQ(finance.subItems()[1]->description(), u"Mail"_s);
    ASSERT_EQ(banks.subItems().size(), 2u);
    EXPECT_EQ(banks.subItems()[0]->description(), u"Bank – Zürich"_s);
    EXPECT_EQ(banks.subItems()[1]->description(), u"Deep"_s);
    EXPECT_EQ(banks.subItems()[1]->parent(), &banks);
}

TEST(CsvImporterTest, CellsMapToFieldsAndOtherColumnsToCustomFields) {
    const ImportedItems imported = CsvImporter::read(kSample);
    const Info2Item& bank = *imported.items.at(0)->subItems().at(0)->subItems().at(0);
    EXPECT_EQ(bank.type, Info2Item::TypePassword);
    EXPECT_EQ(bank.userName(), u"müller"_s);
    EXPECT_EQ(bank.password(), u"p,w\"d"_s);
    EXPECT_EQ(bank.url(), u"https://bank.example"_s);
    EXPECT_EQ(bank.comment(), u"Zeile 1\r\nZeile 2, mit Komma"_s);
    EXPECT_EQ(bank.category(), u"Money"_s);
    EXPECT_EQ(bank.text(ItemText::Tags), u"a,b"_s);
    // An empty header is named after its position; a second title-like column is custom.
    EXPECT_EQ(bank.customFields(),
              (QList<PswField>{PswField{u"PIN"_s, u"1234"_s, QString(), true},
                               PswField{u"Column 10"_s, u"x"_s, QString(), true},
                               PswField{u"Name"_s, u"second"_s, QString(), true}}));

    const Info2Item& mail = *imported.items.at(0)->subItems().at(1);
    EXPECT_EQ(mail.password(), u"secret"_s);
    EXPECT_EQ(mail.url(), std::nullopt);
    EXPECT_EQ(mail.comment(), std::nullopt);
    EXPECT_TRUE(mail.customFields().isEmpty());
}

struct HeaderCase {
    const char* name;
    const char* header; // the column under test, after "title,password,"
    std::function<std::optional<QString>(const Info2Item&)> field;
};
void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class CsvImporterHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(CsvImporterHeaderTest, SynonymMapsToItsField) {
    const QByteArray csv = "title,password," + QByteArray(GetParam().header) + "\nt,p,v\n";
    const ImportedItems imported = CsvImporter::read(csv);
    ASSERT_EQ(imported.entryCount, 1u);
    const Info2Item* entry = imported.items.at(0).get();
    if (imported.folderCount == 1) {
        entry = entry->subItems().at(0).get();
    }
    EXPECT_EQ(GetParam().field(*entry), u"v"_s);
}

const auto kUser = [](const Info2Item& e) { return e.userName(); };
const auto kUrl = [](const Info2Item& e) { return e.url(); };
const auto kNotes = [](const Info2Item& e) { return e.comment(); };
const auto kFolder = [](const Info2Item& e) {
    return e.parent() ? std::optional<QString>(e.parent()->description()) : std::nullopt;
};

std::function<std::optional<QString>(const Info2Item&)> customValue(const QString& name) {
    return [name](const Info2Item& e) {
        const PswField* f = e.customField(name);
        return f ? std::optional<QString>(f->value) : std::nullopt;
    };
}

INSTANTIATE_TEST_SUITE_P(
    Synonyms, CsvImporterHeaderTest,
    ::testing::Values(
        HeaderCase{"UserName", "UserName", kUser}, HeaderCase{"User", " user ", kUser},
        HeaderCase{"Login", "LOGIN", kUser}, HeaderCase{"Url", "URL", kUrl},
        HeaderCase{"Website", "WebSite", kUrl}, HeaderCase{"Address", "address", kUrl},
        HeaderCase{"Notes", "Notes", kNotes}, HeaderCase{"Comment", "comment", kNotes},
        HeaderCase{"Comments", "Comments", kNotes}, HeaderCase{"Group", "Group", kFolder},
        HeaderCase{"Folder", "FOLDER", kFolder}, HeaderCase{"Path", "path", kFolder},
        HeaderCase{"Category", "Category", [](const Info2Item& e) { return e.category(); }},
        HeaderCase{"Tags", "tags", [](const Info2Item& e) { return e.text(ItemText::Tags); }},
        HeaderCase{"Custom", "Security Question", customValue(u"Security Question"_s)},
        HeaderCase{"SecondPassword", "Pass", customValue(u"Pass"_s)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CsvImporterTest, TitleAndPasswordSynonymsAreAccepted) {
    for (const char* header : {"Name,Pass", "description,password", "PASS,NAME"}) {
        const ImportedItems imported = CsvImporter::read(QByteArray(header) + "\na,b");
        ASSERT_EQ(imported.items.size(), 1u) << header;
        const QString wantTitle = QByteArray(header).startsWith("PASS") ? u"b"_s : u"a"_s;
        EXPECT_EQ(imported.items[0]->description(), wantTitle) << header;
    }
}

TEST(CsvImporterTest, LineEndingsTrailingCommasAndEmptyRecords) {
    // LF only, no final line break, a lone CR between records, a trailing empty column.
    const ImportedItems imported =
        CsvImporter::read("title,password,\n\"a\"\"\",1,\r\n\nb,,x\rc,3,");
    ASSERT_EQ(imported.items.size(), 3u);
    EXPECT_EQ(imported.items[0]->description(), u"a\""_s);
    EXPECT_EQ(imported.items[1]->password(), QString("")); // always set
    ASSERT_EQ(imported.items[1]->customFields().size(), 1);
    EXPECT_EQ(imported.items[1]->customFields()[0].name, u"Column 3"_s);
    EXPECT_EQ(imported.items[2]->description(), u"c"_s);

    const ImportedItems headerOnly = CsvImporter::read("title,password\r\n");
    EXPECT_TRUE(headerOnly.items.empty());
    EXPECT_EQ(headerOnly.entryCount, 0u);
}

TEST(CsvImporterTest, ProgressIsReportedPerThousandRecords) {
    QByteArray csv = "title,password\n";
    for (int i = 0; i < 2500; ++i) {
        csv += "entry " + QByteArray::number(i) + ",pw\n";
    }
    std::vector<std::pair<qint64, qint64>> calls;
    const auto imported =
        CsvImporter::read(csv, [&](qint64 done, qint64 total) { calls.emplace_back(done, total); });
    EXPECT_EQ(imported.entryCount, 2500u);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_LT(calls[0].first, calls[1].first);
    EXPECT_LT(calls[1].first, calls[2].first);
    EXPECT_EQ(calls[2].first, calls[2].second);
    EXPECT_EQ(calls[2].second, csv.size()); // ASCII: characters and bytes agree
}

struct BadCsv {
    const char* name;
    QByteArray csv;
    const char* expected;
};
void PrintTo(const BadCsv& c, std::ostream* os) {
    *os << c.name;
}

class CsvImporterMalformedTest : public ::testing::TestWithParam<BadCsv> {};

TEST_P(CsvImporterMalformedTest, RefusedWithTheLineTheRecordStartsOn) {
    try {
        CsvImporter::read(GetParam().csv);
        FAIL() << "accepted";
    } catch (const CommonException& e) {
        EXPECT_EQ(e.message(), QString::fromUtf8(GetParam().expected));
    }
}

QByteArray deepPath(int depth) {
    QByteArray path;
    for (int i = 0; i < depth; ++i) {
        path += "/f";
    }
    return "title,password,group\nok,1,a/b\nx,2," + path + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CsvImporterMalformedTest,
    ::testing::Values(
        BadCsv{"Empty", "", "The file is empty."},
        BadCsv{"OnlyBom", "\xEF\xBB\xBF", "The file is empty."},
        BadCsv{"OnlyBlankLines", "\r\n\n\r\n", "The file is empty."},
        BadCsv{"UnterminatedQuote", "title,password\nok,1\n\"s3cret\nb,2\nc,3\n",
               "line 3: a quoted field is not closed"},
        BadCsv{"FieldCountAfterEmbeddedNewline", "title,password\n\"a\nb\",1\nc,2,3\n",
               "line 4: the record has 3 fields where the header has 2"},
        BadCsv{"TooFewFields", "title,password\r\nonly\r\n",
               "line 2: the record has 1 fields where the header has 2"},
        BadCsv{"TextAfterClosingQuote", "title,password\n\n\"a\"b,1\n",
               "line 3: unexpected text after the closing quote of a field"},
        BadCsv{"LoneCarriageReturns", "title,password\rA,1\rB,2,3\r",
               "line 3: the record has 3 fields where the header has 2"},
        BadCsv{"InvalidUtf8", "title,password\nok,1\nbad\xff,2\n",
               "line 3: the text is not valid UTF-8"},
        BadCsv{"NoPasswordColumn", "title,user\na,b\n",
               "line 1: the header needs a title column (title, name or description) and a "
               "password column (password or pass)"},
        BadCsv{"NoTitleColumn", "\n\nuser,password\na,b\n",
               "line 3: the header needs a title column (title, name or description) and a "
               "password column (password or pass)"},
        BadCsv{"FolderTooDeep", deepPath(65),
               "line 3: the folder path is nested more than 64 deep"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CsvImporterTest, SixtyFourFolderLevelsAreAccepted) {
    const ImportedItems imported = CsvImporter::read(deepPath(64));
    EXPECT_EQ(imported.folderCount, 66u); // a, a/b and the 64 levels of f
}

} // namespace
} // namespace keskor
