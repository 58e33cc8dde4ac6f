// The XML export: the exact bytes of a small document, the omission rules, hostile texts,
// and the full sample database parsed back with QXmlStreamReader, value by value.

#include "tools/PassFileXmlWriter.h"

#include "core/shared/DateTimeHelper.h"
#include "core/shared/FileFormats.h"
#include "core/shared/ParseHelper.h"
#include "platform/FakeClock.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"
#include "tools/XmlExportController.h"

#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <memory>

namespace keskor {
namespace {

/// A parsed element: name, attributes in order, text, children.
struct Node {
    QString name;
    QString namespaceUri;
    QList<std::pair<QString, QString>> attributes;
    QString text;
    std::vector<std::unique_ptr<Node>> children;

    const Node* child(const QString& n) const {
        for (const auto& c : children) {
            if (c->name == n) {
                return c.get();
            }
        }
        return nullptr;
    }
    QString value(const QString& n) const {
        const Node* c = child(n);
        return c ? c->text : QStringLiteral("<absent>");
    }
    QString attribute(const QString& n) const {
        for (const auto& [k, v] : attributes) {
            if (k == n) {
                return v;
            }
        }
        return QStringLiteral("<absent>");
    }
    QStringList childNames() const {
        QStringList out;
        for (const auto& c : children) {
            out << c->name;
        }
        return out;
    }
};

std::unique_ptr<Node> parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    std::vector<Node*> stack;
    std::unique_ptr<Node> root;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            auto node = std::make_unique<Node>();
            node->name = reader.name().toString();
            node->namespaceUri = reader.namespaceUri().toString();
            for (const auto& a : reader.attributes()) {
                node->attributes.append({a.qualifiedName().toString(), a.value().toString()});
            }
            Node* raw = node.get();
            if (stack.empty()) {
                root = std::move(node);
            } else {
                stack.back()->children.push_back(std::move(node));
            }
            stack.push_back(raw);
        } else if (reader.isCharacters() && !stack.empty()) {
            stack.back()->text += reader.text();
        } else if (reader.isEndElement()) {
            stack.pop_back();
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return reader.hasError() ? nullptr : std::move(root);
}

const QDateTime kExportMoment(QDate(2024, 3, 5), QTime(14, 7, 9));

class XmlWriterTest : public ::testing::Test {
protected:
    EncryptionHelper protection{Key256::random()};
    PassFileXmlWriter writer{protection, kExportMoment};

    static PassFile emptyFile() {
        PassFile f = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                             PassFile::AuthenticationType::Password, false);
        f.fingerprint = QStringLiteral("{DB}");
        return f;
    }
    std::unique_ptr<Node> itemOf(const std::shared_ptr<Info2Item>& e) {
        PassFile f = emptyFile();
        f.addItem(e);
        auto doc = parse(writer.write(f));
        auto item = std::move(doc->children.at(1)->children.at(0)->children.at(0));
        EXPECT_EQ(item->name, QStringLiteral("item"));
        return item;
    }
};

TEST_F(XmlWriterTest, SmallDocumentByteForByte) {
    PassFile f = emptyFile();
    f.lastSyncTime = 45000.0 + 0.5; // 12:00 noon
    auto e = std::make_shared<Info2Item>();
    e->setFingerprint(QStringLiteral("{E1}"));
    e->setDescription(QStringLiteral("Mail"));
    e->setPassword(QStringLiteral("p<w"));
    e->created = 45000.0 + 30.0 / 1440.0; // 00:30 is 12:30 on the 12-hour clock
    e->mutableCustomFields() = {
        PswField{QStringLiteral("PIN"), QStringLiteral("12"), QString(), false}};
    f.addItem(e);
    const QByteArray expected =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<passwordfile xmlns=\"https://keskor.org/schemas/passwordfile/12.0/passwordfile.xsd\">"
        "<header><application>Keskor</application><encrypted>1</encrypted>"
        "<compressed>1</compressed><authtype>0</authtype><enctype>1</enctype>"
        "<kdftype>1</kdftype><dataformat>12</dataformat>"
        "<lastsynctime FMT=\"dd.MM.yyyy hh:mm:ss\">15.03.2023 12:00:00</lastsynctime>"
        "<datetime>05.03.2024 02:07:09</datetime><fingerprint>{DB}</fingerprint></header>"
        "<passwords><group name=\"null\" fingerprint=\"null\"><item>"
        "<description>Mail</description><type>1</type><password>p&lt;w</password>"
        "<fingerprint>{E1}</fingerprint><secondeye>0</secondeye><imagecustom>0</imagecustom>"
        "<autocompletemethod>0</autocompletemethod>"
        "<created FMT=\"dd.MM.yyyy hh:mm:ss\">15.03.2023 12:30:00</created>"
        "<donotaddon>0</donotaddon><markassafe>0</markassafe><safemode>0</safemode>"
        "<customfields><field name=\"PIN\" value=\"12\" inputid=\"null\" visible=\"0\" />"
        "</customfields></item></group></passwords></passwordfile>";
    EXPECT_EQ(writer.write(f), expected);
}

// The document above shows the 12-hour clock at midnight, noon and in the afternoon.
TEST_F(XmlWriterTest, DatesDropTheTimeAndNoDateIsEmpty) {
    EXPECT_EQ(PassFileXmlWriter::dateText(45000.9), QStringLiteral("15.03.2023"));
    EXPECT_TRUE(PassFileXmlWriter::dateTimeText(1e300).isEmpty());
    // Padding at the edges, against Qt's 12-hour clock ("hh" with "ap", the marker cut off).
    for (const QDateTime& at :
         {QDateTime(QDate(1, 1, 1), QTime(0, 0, 0)), QDateTime(QDate(999, 9, 9), QTime(9, 5, 7)),
          QDateTime(QDate(9999, 10, 10), QTime(12, 10, 10))}) {
        EXPECT_EQ(PassFileXmlWriter::dateTimeText(at),
                  at.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss ap")).chopped(3));
    }
}

struct OmissionCase {
    const char* name;
    std::function<void(Info2Item&)> change;
    const char* element;
    bool written;
};

class ItemOmissionTest : public XmlWriterTest,
                         public ::testing::WithParamInterface<OmissionCase> {};

TEST_P(ItemOmissionTest, ElementWrittenOnlyWhenTheRuleSays) {
    auto e = Info2Item::create(1, QStringLiteral("x"));
    GetParam().change(*e);
    const auto item = itemOf(e);
    EXPECT_EQ(item->child(QString::fromUtf8(GetParam().element)) != nullptr, GetParam().written)
        << item->childNames().join(',').toStdString();
}

const OmissionCase kOmissions[] = {
    {"ExpiryZero", [](Info2Item& e) { e.expiryDate = 0; }, "expirydate", false},
    {"ExpiryNever", [](Info2Item& e) { e.expiryDate = 2147483647.0; }, "expirydate", false},
    {"ExpirySet", [](Info2Item& e) { e.expiryDate = 47000; }, "expirydate", true},
    {"ImportanceOne", [](Info2Item& e) { e.importance = 1; }, "importance", false},
    {"ImportanceZero", [](Info2Item& e) { e.importance = 0; }, "importance", true},
    {"WebForm2047", [](Info2Item& e) { e.setText(ItemText::WebForm, QString(2047, 'w')); },
     "webform", true},
    {"WebForm2048", [](Info2Item& e) { e.setText(ItemText::WebForm, QString(2048, 'w')); },
     "webform", false},
    {"EmptyPasswordIsPresent", [](Info2Item& e) { e.setPassword(QString("")); }, "password", true},
    {"AbsentPassword", [](Info2Item& e) { e.setPassword(std::nullopt); }, "password", false},
    {"DefaultIcon", [](Info2Item& e) { e.icon.index = -1; }, "imageindex", false},
    {"IconZero", [](Info2Item& e) { e.icon.index = 0; }, "imageindex", true},
    {"RndTypeOne", [](Info2Item& e) { e.rndType = 1; }, "rndtype", false},
    {"UsageZero", [](Info2Item& e) { e.usageCount = 0; }, "usagecount", false},
    {"UnsetCreated", [](Info2Item& e) { e.created = 1.0; }, "created", false},
    {"NoUrls", [](Info2Item& e) { e.mutableAdditionalUrls().clear(); }, "urls", false},
    {"NoHistory", [](Info2Item& e) { e.mutableHistory().clear(); }, "hitems", false},
};

INSTANTIATE_TEST_SUITE_P(Export, ItemOmissionTest, ::testing::ValuesIn(kOmissions),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XmlWriterTest, HostileTextsStayWellFormedAndReadBack) {
    auto e = Info2Item::create(1, QStringLiteral("<a href=\"x\">&'amp;</a>"));
    const QString hostile = QStringLiteral("Grüße \u4E16 🔑 a\u0001b\tc\nd\re ]]> ") + QChar(0xD800);
    e->setPassword(hostile);
    e->mutableCustomFields() = {
        PswField{QStringLiteral("n\"a<m>e"), QStringLiteral("v&'\n"), QStringLiteral("id"), true}};
    const auto item = itemOf(e);
    EXPECT_EQ(item->value("description"), QStringLiteral("<a href=\"x\">&'amp;</a>"));
    EXPECT_EQ(item->value("password"),
              QStringLiteral("Grüße \u4E16 🔑 a\uFFFDb\tc\nd\re ]]> \uFFFD"));
    const Node* field = item->child("customfields")->child("field");
    EXPECT_EQ(field->attribute("name"), QStringLiteral("n\"a<m>e"));
    EXPECT_EQ(field->attribute("value"), QStringLiteral("v&'\n"));
    EXPECT_EQ(field->attribute("visible"), QStringLiteral("1"));
}

TEST_F(XmlWriterTest, FolderExportWithoutSubfoldersAndWithSelection) {
    PassFile f = testing::SampleDatabase::full();
    const Info2Item& banking = *f.items().at(0);
    const auto groupOf = [&](const XmlExportOptions& options) {
        auto doc = parse(writer.write(f, options));
        return std::move(doc->children.at(1)->children.at(0));
    };

    XmlExportOptions flat{&banking, false, std::nullopt};
    auto group = groupOf(flat);
    EXPECT_EQ(group->attribute("name"), QStringLiteral("Banking"));
    EXPECT_EQ(group->attribute("fingerprint"), banking.fingerprint());
    EXPECT_EQ(group->attribute("comments"), QStringLiteral("money"));
    EXPECT_EQ(group->attribute("category"), banking.category().value_or("null"));
    EXPECT_EQ(group->attribute("imageindex"), QString::number(banking.icon.index));
    EXPECT_FALSE(group->childNames().contains("group"));
    EXPECT_EQ(group->children.size(), banking.subItems().size());
    EXPECT_EQ(group->children.at(0)->value("type"), QStringLiteral("0")); // "Online" as item

    // Selection: only the chosen entry besides the folder children.
    const QString chosen = banking.subItems().at(1)->fingerprint();
    XmlExportOptions picked{&banking, true, QStringList{chosen}};
    group = groupOf(picked);
    ASSERT_EQ(group->children.size(), 2u);
    EXPECT_EQ(group->children.at(0)->name, QStringLiteral("group"));
    EXPECT_TRUE(group->children.at(0)->children.empty()); // nothing of "Online" was chosen
    EXPECT_EQ(group->children.at(1)->value("fingerprint"), chosen);
}

// Every value of the sample database, read back from the document.
class FullExportTest : public XmlWriterTest {
protected:
    static QString text(const std::optional<QString>& v) { return v.value_or("<absent>"); }
    static QString orNull(const QString& v) { return v.isNull() ? QStringLiteral("null") : v; }
    static QString flag(bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); }
    /// A date-time element: its format attribute and the writer's text of the day.
    static void expectDateTime(const Node* node, double day, const char* what) {
        ASSERT_NE(node, nullptr) << what;
        EXPECT_EQ(node->attribute("FMT"), QStringLiteral("dd.MM.yyyy hh:mm:ss"));
        EXPECT_EQ(node->text, PassFileXmlWriter::dateTimeText(DateTimeHelper::parseDelphiDate(day)))
            << what;
    }

    void expectItem(const Node& node, const Info2Item& e) {
        SCOPED_TRACE(e.description().toStdString());
        const std::pair<const char*, QString> values[] = {
            {"description", orNull(e.description())},
            {"type", QString::number(e.type)},
            {"importance", QString::number(e.importance)},
            {"fingerprint", e.fingerprint()},
            {"secondeye", flag(e.secondEye)},
            {"imageindex", QString::number(e.icon.index)},
            {"imagecustom", flag(e.icon.custom)},
            {"autocompletemethod", QString::number(e.autoCompleteMethod)},
            {"donotaddon", flag(e.doNotAddon)},
            {"markassafe", flag(e.markAsSafe)},
            {"safemode", flag(e.safeMode)},
            {"rndtype", QString::number(e.rndType)},
            {"usagecount", QString::number(e.usageCount)}};
        for (const auto& [name, want] : values) {
            EXPECT_EQ(node.value(name), want) << name;
        }
        const std::pair<const char*, ItemText> texts[] = {
            {"password", ItemText::Password}, {"username", ItemText::UserName},
            {"url", ItemText::Url},           {"comment", ItemText::Comment},
            {"template", ItemText::Template}, {"paramstr", ItemText::ParamStr},
            {"category", ItemText::Category}, {"custombrowser", ItemText::CustomBrowser},
            {"webform", ItemText::WebForm},   {"loginid", ItemText::LoginId},
            {"passid", ItemText::PassId},     {"rndcustom", ItemText::RndCustom},
            {"sourceid", ItemText::SourceId}, {"tags", ItemText::Tags}};
        for (const auto& [name, field] : texts) {
            EXPECT_EQ(node.value(name), text(e.text(field))) << name;
        }
        const std::pair<const char*, double> dates[] = {{"lastmodified", e.lastModified},
                                                        {"created", e.created},
                                                        {"lastaccessed", e.lastAccessed}};
        for (const auto& [name, day] : dates) {
            expectDateTime(node.child(name), day, name);
        }
        EXPECT_EQ(QDate::fromString(node.value("expirydate"), "dd.MM.yyyy"),
                  DateTimeHelper::parseDelphiDate(e.expiryDate).date());
        const Node* urls = node.child("urls");
        ASSERT_NE(urls, nullptr);
        ASSERT_EQ(urls->children.size(), static_cast<std::size_t>(e.additionalUrls().size()));
        for (qsizetype i = 0; i < e.additionalUrls().size(); ++i) {
            EXPECT_EQ(urls->children[i]->text, e.additionalUrls()[i]);
        }
        const Node* fields = node.child("customfields");
        ASSERT_EQ(fields->children.size(), static_cast<std::size_t>(e.customFields().size()));
        for (qsizetype i = 0; i < e.customFields().size(); ++i) {
            const auto& f = e.customFields()[i];
            const Node& n = *fields->children[i];
            EXPECT_EQ(n.attribute("name"), orNull(f.name));
            EXPECT_EQ(n.attribute("value"), orNull(f.value));
            EXPECT_EQ(n.attribute("inputid"), orNull(f.inputId));
            EXPECT_EQ(n.attribute("visible"), flag(f.visible));
        }
        const Node* tans = node.child("tans");
        ASSERT_EQ(tans->children.size(), static_cast<std::size_t>(e.tans().size()));
        for (qsizetype i = 0; i < e.tans().size(); ++i) {
            const auto& t = e.tans()[i];
            const Node& n = *tans->children[i];
            EXPECT_EQ(n.childNames(),
                      (QStringList{"number", "value", "used", "amount", "comment", "ccode"}));
            EXPECT_EQ(n.value("number"), orNull(t.number));
            EXPECT_EQ(n.value("value"), orNull(t.value));
            EXPECT_EQ(n.value("used").toDouble(), t.used);
            EXPECT_DOUBLE_EQ(n.value("amount").toDouble(), t.amount);
            EXPECT_EQ(n.value("comment"), orNull(t.comment));
            EXPECT_EQ(n.value("ccode"), orNull(t.ccode));
        }
        const Node* attachments = node.child("attachments");
        ASSERT_EQ(attachments->children.size(), static_cast<std::size_t>(e.attachments().size()));
        for (qsizetype i = 0; i < e.attachments().size(); ++i) {
            const auto& a = e.attachments()[i];
            const Node& n = *attachments->children[i];
            EXPECT_EQ(n.value("filename"), a.fileName);
            EXPECT_EQ(n.value("originalpath"), a.originalPath);
            expectDateTime(n.child("lastmodified"), a.lastModified, "attachment");
            EXPECT_EQ(QByteArray::fromBase64(n.value("data").toLatin1()), a.data);
        }
    }

    void expectGroup(const Node& node, const Info2Item& folder) {
        ASSERT_EQ(node.children.size(), folder.subItems().size());
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            const Node& child = *node.children[i];
            const Info2Item& item = *folder.subItems()[i];
            if (item.isFolder) {
                ASSERT_EQ(child.name, QStringLiteral("group"));
                EXPECT_EQ(child.attribute("name"), orNull(item.description()));
                EXPECT_EQ(child.attribute("fingerprint"), item.fingerprint());
                EXPECT_EQ(child.attribute("imagecustom"), flag(item.icon.custom));
                EXPECT_EQ(child.attribute("comments"), item.comment().value_or("null"));
                expectGroup(child, item);
                continue;
            }
            ASSERT_EQ(child.name, QStringLiteral("item"));
            expectItem(child, item);
            const Node* hitems = child.child("hitems");
            ASSERT_NE(hitems, nullptr);
            ASSERT_EQ(hitems->children.size(), item.history().size());
            for (std::size_t h = 0; h < item.history().size(); ++h) {
                expectItem(*hitems->children[h], item.history()[h]);
            }
        }
    }
};

TEST_F(FullExportTest, EveryValueReadsBack) {
    const PassFile f = testing::SampleDatabase::full();
    const auto doc = parse(writer.write(f));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->name, QStringLiteral("passwordfile"));
    EXPECT_TRUE(doc->namespaceUri.endsWith("/schemas/passwordfile/12.0/passwordfile.xsd"));
    // The header in its fixed order; the date-times (no value here) are checked on their own.
    const Node& h = *doc->children.at(0);
    const std::pair<const char*, std::optional<QString>> header[] = {
        {"application", "Keskor"},
        {"encrypted", flag(f.encrypted)},
        {"compressed", flag(f.compressed)},
        {"krserver", *f.krServer},
        {"servertime", ParseHelper::stringFromDouble(f.serverTime)},
        {"serverport", QString::number(f.serverPort)},
        {"serveruser", *f.serverUser},
        {"offline", "1"},
        {"authtype", QString::number(static_cast<int>(f.authType()))},
        {"enctype", QString::number(f.encType)},
        {"kdftype", QString::number(f.kdfType)},
        {"comments", *f.comments},
        {"dataformat", QString::number(FileFormats::DATA_FORMAT_VERSION)},
        {"lastsynctime", std::nullopt},
        {"lastexpirycheck", ParseHelper::stringFromDouble(f.lastExpiryCheck)},
        {"lastmodified", std::nullopt},
        {"lastbackup", std::nullopt},
        {"datetime", "05.03.2024 02:07:09"},
        {"hint", *f.hint},
        {"fingerprint", f.fingerprint},
        {"backupinterval", QString::number(f.backupInterval)},
        {"backuppath", *f.backupPath},
        {"backupserver", std::nullopt},
        {"backuplocation", QString::number(f.backupLocation)},
        {"lastshoweditpass", "1"},
        {"keephistory", "0"},
        {"maxhistory", QString::number(f.maxHistory)}};
    QStringList order;
    for (const auto& [name, want] : header) {
        order << name;
        if (want) {
            EXPECT_EQ(h.value(name), *want) << name;
        }
    }
    EXPECT_EQ(h.childNames(), order);
    expectDateTime(h.child("lastsynctime"), f.lastSyncTime, "lastsynctime");
    expectDateTime(h.child("lastmodified"), f.lastModified, "lastmodified");
    expectDateTime(h.child("lastbackup"), f.lastBackup, "lastbackup");
    EXPECT_EQ(protection.getDec(h.value("backupserver")), f.backupServer);

    const Node& passwords = *doc->children.at(1);
    ASSERT_EQ(passwords.children.size(), 1u);
    const Node& top = *passwords.children[0];
    EXPECT_EQ(top.attributes,
              (QList<std::pair<QString, QString>>{{"name", "null"}, {"fingerprint", "null"}}));
    expectGroup(top, f.root());
}

TEST(XmlExportControllerTest, WritesAtomicallyAndReportsFailures) {
    test::TempDir dir;
    EncryptionHelper protection(Key256::random());
    FakeClock clock(kExportMoment);
    PassFile f = testing::SampleDatabase::full();
    testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    XmlExportController controller(presenter, protection, clock, [&] { return &f; });

    ASSERT_TRUE(controller.exportToFile(dir.file("out.xml"), {}));
    const QByteArray first = dir.read("out.xml");
    ASSERT_NE(parse(first), nullptr);

    // A disk that fills up mid-write leaves the earlier export as it was.
    f.items().at(1)->mutableAttachments().first().data = QByteArray(4 << 20, 'z');
    presenter.answerAlert(0);
    {
        test::FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(controller.exportToFile(dir.file("out.xml"), {}));
    }
    EXPECT_TRUE(presenter.transcript().last().startsWith("alert critical dialog_error/"));
    EXPECT_EQ(dir.read("out.xml"), first);

    XmlExportController none(presenter, protection, clock, [] { return nullptr; });
    EXPECT_FALSE(none.exportToFile(dir.file("none.xml"), {}));
}

} // namespace
} // namespace keskor
