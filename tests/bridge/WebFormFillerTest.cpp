#include "bridge/WebFormFiller.h"

#include "bridge/EntryUrlMatcher.h"
#include "bridge/SocketXMLForms.h"
#include "bridge/WebFormCodec.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

std::shared_ptr<Info2Item> entry(const QString& description, std::optional<QString> url,
                                 std::optional<QString> user, std::optional<QString> password,
                                 QStringList additional = {}) {
    auto item = Info2Item::create(Info2Item::TypePassword, description);
    item->setUrl(std::move(url));
    item->setUserName(std::move(user));
    item->setPassword(std::move(password));
    item->mutableAdditionalUrls() = std::move(additional);
    return item;
}

QStringList descriptions(const EntryUrlMatcher::Items& items) {
    QStringList out;
    for (const auto& item : items) {
        out.append(item->description());
    }
    return out;
}

class EntryUrlMatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                       PassFile::AuthenticationType::Password, false);
        auto folder = Info2Item::createFolder(QStringLiteral("Work"));
        auto sub = Info2Item::createFolder(QStringLiteral("Deep"));
        sub->addSubItem(entry(QStringLiteral("deepQuery"),
                              QStringLiteral("https://Example.org/login?next=1"),
                              QStringLiteral("bob"), QStringLiteral("b")));
        folder->addSubItem(entry(QStringLiteral("suffix"), QStringLiteral("https://other.net/"),
                                 QStringLiteral("ann"), QStringLiteral("a2"),
                                 {QStringLiteral("*example.org")}));
        folder->addSubItem(std::move(sub));
        file.addItem(entry(QStringLiteral("caseOnly"), QStringLiteral("HTTPS://EXAMPLE.ORG/LOGIN"),
                           QStringLiteral("ann"), QStringLiteral("a1")));
        file.addItem(std::move(folder));
        file.addItem(entry(QStringLiteral("starsOnly"), QStringLiteral("https://x.y/"),
                           std::nullopt, std::nullopt, {QStringLiteral("**")}));
        file.addItem(entry(QStringLiteral("noUser"), std::nullopt, std::nullopt,
                           QStringLiteral("n"), {QStringLiteral("example.ORG/log")}));
        file.addItem(entry(
            QStringLiteral("laterSamePage"), QStringLiteral("https://example.org/login?other=2"),
            QStringLiteral("ann"), QStringLiteral("l"), {QStringLiteral("example.org/login")}));
    }
    const QString page = QStringLiteral("https://example.org/login?next=1");
    PassFile file;
};

TEST_F(EntryUrlMatcherTest, SamePageBeforeTheQueryFirstThenTheRestInDepthFirstOrder) {
    EXPECT_EQ(descriptions(EntryUrlMatcher::findMatches(file.items(), page)),
              (QStringList{QStringLiteral("deepQuery"), QStringLiteral("laterSamePage"),
                           QStringLiteral("suffix"), QStringLiteral("noUser")}));
}

TEST_F(EntryUrlMatcherTest, UrlEqualityIgnoresLetterCaseButNotTheQuery) {
    EXPECT_EQ(descriptions(EntryUrlMatcher::findMatches(
                  file.items(), QStringLiteral("https://example.org/Login"))),
              (QStringList{QStringLiteral("caseOnly"), QStringLiteral("laterSamePage"),
                           QStringLiteral("suffix"), QStringLiteral("noUser")}));
}

TEST_F(EntryUrlMatcherTest, UserNameMustBeEqualExactlyAndPresent) {
    EXPECT_EQ(descriptions(EntryUrlMatcher::findMatches(file.items(), page, QStringLiteral("ann"))),
              (QStringList{QStringLiteral("laterSamePage"), QStringLiteral("suffix")}));
    EXPECT_TRUE(EntryUrlMatcher::findMatches(file.items(), page, QStringLiteral("Ann")).empty());
    EXPECT_TRUE(EntryUrlMatcher::findMatches(file.items(), page, QString()).empty());
}

TEST_F(EntryUrlMatcherTest, AsteriskOnlyAdditionalUrlNeverMatches) {
    EXPECT_TRUE(EntryUrlMatcher::findMatches(file.items(), QStringLiteral("https://unrelated.com/"))
                    .empty());
}

TEST(EntryUrlMatcher, CaseFoldingOfUrlEqualityIsAsciiOnly) {
    EXPECT_TRUE(EntryUrlMatcher::equalsAsciiCaseless(u"HTTP://A.b", u"http://a.B"));
    EXPECT_FALSE(EntryUrlMatcher::equalsAsciiCaseless(u"http://\u00c4.de", u"http://\u00e4.de"));
    EXPECT_EQ(EntryUrlMatcher::beforeQuery(u"a/b?c?d"), u"a/b");
    EXPECT_EQ(EntryUrlMatcher::beforeQuery(u"a/b"), u"a/b");
}

struct KeyCase {
    const char* label;
    std::optional<QString> uuid;
    std::optional<QString> loadedFingerprint;
    std::optional<QString> loadedUrl;
    WebFormFiller::Key expected;
};

const QString U = QStringLiteral("U"); // the request's uuid
const QString L = QStringLiteral("L"); // the fingerprint of the last fill
const QString pageUrl = QStringLiteral("https://a.b/");

class WebFormFillerKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(WebFormFillerKey, IsChosenFromRequestAndLastFill) {
    const auto& c = GetParam();
    EXPECT_EQ(WebFormFiller::chooseKey(c.uuid, c.loadedFingerprint, c.loadedUrl, pageUrl),
              c.expected);
}

using Kind = WebFormFiller::KeyKind;
INSTANTIATE_TEST_SUITE_P(
    Requests, WebFormFillerKey,
    ::testing::Values(
        KeyCase{"uuidWins", U, L, pageUrl, {U, Kind::fingerprint}},
        KeyCase{"lastFillOfSamePage", std::nullopt, L, pageUrl, {L, Kind::fingerprint}},
        KeyCase{"lastFillOfOtherPage",
                std::nullopt,
                L,
                QStringLiteral("https://A.b/"),
                {pageUrl, Kind::url}},
        KeyCase{"noLastFingerprint", std::nullopt, std::nullopt, pageUrl, {pageUrl, Kind::url}}),
    [](const auto& info) { return std::string(info.param.label); });

class WebFormFillerTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                       PassFile::AuthenticationType::Password, false);
        ann = entry(QStringLiteral("Ann"), QStringLiteral("https://shop.example/login"),
                    QStringLiteral("ann@example.org"), QStringLiteral("pw<&>\u00fc"));
        noUrl = entry(QStringLiteral("NoUrl"), std::nullopt, std::nullopt, std::nullopt);
        file.addItem(ann);
        file.addItem(noUrl);
    }

    static SocketXMLForms replyForms(const QVariantMap& reply) {
        const QByteArray utf8 = QByteArray::fromBase64(reply.value("xml").toString().toLatin1());
        return SocketXMLForms::parseDocument(QString::fromUtf8(utf8));
    }

    PassFile file;
    std::shared_ptr<Info2Item> ann;
    std::shared_ptr<Info2Item> noUrl;
};

const QString kPage = QStringLiteral(
    "<forms><formdata name=\"login\" idx=\"0\"><fields>"
    "<input name=\"u\" type=\"email\" idx=\"1\">typed</input>"
    "<input name=\"p\" type=\"PASSWORD\" idx=\"2\"></input>"
    "<input name=\"x\" idx=\"3\"/>"
    "<input name=\"h\" type=\"hidden\" idx=\"4\">csrf</input>"
    "</fields></formdata>"
    "<formdata name=\"second\" idx=\"1\"><fields><input type=\"password\"/></fields></formdata>"
    "</forms>");

TEST_F(WebFormFillerTest, PasswordFieldsGetThePasswordAllOthersTheUserName) {
    const auto reply = WebFormFiller::fill(
        &file, {QStringLiteral("https://shop.example/login"), Kind::url}, kPage);
    EXPECT_EQ(reply.value("url").toString(), QStringLiteral("https://shop.example/login"));
    EXPECT_EQ(reply.value("encoding").toString(), QStringLiteral("base64"));
    const auto forms = replyForms(reply);
    ASSERT_EQ(forms.subForms.size(), 2);
    QStringList values;
    for (const auto& form : forms.subForms) {
        for (const auto& e : form.subElements) {
            values.append(e.stringValue.value_or(QStringLiteral("<absent>")));
        }
    }
    const QString user = QStringLiteral("ann@example.org");
    const QString pass = QStringLiteral("pw<&>\u00fc");
    EXPECT_EQ(values, (QStringList{user, pass, user, user, pass}));
    // Everything else of the page comes back as it was sent.
    const auto sent = SocketXMLForms::parseDocument(kPage);
    EXPECT_EQ(forms.subForms[0].subElements[2].idx, sent.subForms[0].subElements[2].idx);
    EXPECT_EQ(forms.subForms[0].name, sent.subForms[0].name);
}

TEST_F(WebFormFillerTest, FingerprintNamesTheEntryAndBase64RequestValuesAreDecoded) {
    const QString encoded = QString::fromLatin1(kPage.toUtf8().toBase64());
    const auto reply =
        WebFormFiller::fill(&file, {noUrl->fingerprint(), Kind::fingerprint}, encoded);
    EXPECT_EQ(reply.value("url").toString(), QString());
    ASSERT_TRUE(reply.contains("url"));
    const auto forms = replyForms(reply);
    ASSERT_EQ(forms.subForms.size(), 2);
    EXPECT_EQ(forms.subForms[0].subElements[0].stringValue, QString());
}

TEST_F(WebFormFillerTest, NoDatabaseOrNoEntryGivesAnEmptyReply) {
    EXPECT_TRUE(
        WebFormFiller::fill(nullptr, {ann->fingerprint(), Kind::fingerprint}, kPage).isEmpty());
    EXPECT_TRUE(WebFormFiller::fill(&file, {QStringLiteral("missing"), Kind::fingerprint}, kPage)
                    .isEmpty());
    EXPECT_TRUE(WebFormFiller::fill(&file, {QStringLiteral("https://nowhere/"), Kind::url}, kPage)
                    .isEmpty());
}

TEST_F(WebFormFillerTest, UnreadableDocumentIsAnsweredWithAnEmptyFormsDocument) {
    const auto reply = WebFormFiller::fill(&file, {ann->fingerprint(), Kind::fingerprint},
                                           QStringLiteral("<forms"));
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(reply.value("xml").toString().toLatin1())),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><forms></forms>"));
}

} // namespace
} // namespace keskor
