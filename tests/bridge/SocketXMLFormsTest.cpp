#include "bridge/SocketXMLForms.h"

#include "bridge/WebFormCodec.h"
#include "bridge/WebFormXmlReader.h"
#include "core/shared/CommonException.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

const QString kLoginPage =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                   "<forms>\n"
                   "  <formdata name=\"login\" idx=\"0\">\n"
                   "    <fields>\n"
                   "      <input name=\"email\" type=\"email\" idx=\"1\">ann@example.org</input>\n"
                   "      <input name=\"pass\" type=\"password\" idx=\"2\">s3cret</input>\n"
                   "      <input name=\"csrf\" type=\"hidden\" idx=\"3\">tok</input>\n"
                   "    </fields>\n"
                   "  </formdata>\n"
                   "</forms>\n");

const QString kSignUpAndSearch = QStringLiteral(
    "<forms>"
    "<formdata name=\"search\" idx=\"0\"><fields><input name=\"q\" idx=\"1\"/></fields>"
    "</formdata>"
    "<formdata name=\"signup\" idx=\"1\"><fields>"
    "<input name=\"user\" type=\"text\" idx=\"1\">new.user</input>"
    "<input name=\"mail\" type=\"email\" idx=\"2\">new@example.org</input>"
    "<input name=\"pw\" type=\"password\" idx=\"3\">Pw-1</input>"
    "<input name=\"pw2\" type=\"password\" idx=\"4\">Pw-1</input>"
    "<select name=\"country\" idx=\"5\">de</select>"
    "</fields></formdata>"
    "</forms>");

const QString kChangePassword =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"unicode\"?>"
                   "<page><form idx=\"2\"><fields>"
                   "<input name=\"current\" type=\"PASSWORD\" idx=\"1\">old-pw</input>"
                   "<input name=\"new\" type=\"Password\" idx=\"2\">n\u00e9w-pw \u263a</input>"
                   "<input name=\"confirm\" type=\"password\" idx=\"3\">n\u00e9w-pw \u263a</input>"
                   "</fields></form></page>");

TEST(SocketXMLFormsRead, LoginPageGivesOneFormWithItsFields) {
    const auto forms = SocketXMLForms::parseDocument(kLoginPage);
    ASSERT_EQ(forms.subForms.size(), 1);
    const auto& form = forms.subForms[0];
    EXPECT_EQ(form.name, QStringLiteral("login"));
    EXPECT_EQ(form.idx, 0);
    ASSERT_EQ(form.subElements.size(), 3);
    EXPECT_EQ(form.subElements[0].tag, QStringLiteral("input"));
    EXPECT_EQ(form.subElements[0].name, QStringLiteral("email"));
    EXPECT_EQ(form.subElements[0].type, QStringLiteral("email"));
    EXPECT_EQ(form.subElements[0].stringValue, QStringLiteral("ann@example.org"));
    EXPECT_EQ(form.subElements[2].idx, 3);
    EXPECT_EQ(form.userName(), QStringLiteral("ann@example.org"));
    EXPECT_EQ(form.password(), QStringLiteral("s3cret"));
}

TEST(SocketXMLFormsRead, SignUpPageKeepsFormsAndFieldsInOrder) {
    const auto forms = SocketXMLForms::parseDocument(kSignUpAndSearch);
    ASSERT_EQ(forms.subForms.size(), 2);
    EXPECT_EQ(forms.subForms[0].name, QStringLiteral("search"));
    EXPECT_EQ(forms.subForms[0].subElements[0].stringValue, QString());
    EXPECT_FALSE(forms.subForms[0].subElements[0].type.has_value());
    const auto& signup = forms.subForms[1];
    ASSERT_EQ(signup.subElements.size(), 5);
    EXPECT_EQ(signup.subElements[4].tag, QStringLiteral("select"));
    EXPECT_EQ(signup.userName(), QStringLiteral("new.user"));
    EXPECT_EQ(signup.password(), QStringLiteral("Pw-1"));
}

TEST(SocketXMLFormsRead, UnicodeDeclarationReadsLikeUtf8AndAnyElementNamesWork) {
    const auto forms = SocketXMLForms::parseDocument(kChangePassword);
    ASSERT_EQ(forms.subForms.size(), 1);
    const auto& form = forms.subForms[0];
    EXPECT_FALSE(form.name.has_value());
    EXPECT_EQ(form.idx, 2);
    ASSERT_EQ(form.subElements.size(), 3);
    EXPECT_TRUE(form.subElements[0].isPassword());
    EXPECT_TRUE(form.subElements[1].isPassword());
    EXPECT_EQ(form.subElements[1].stringValue, QStringLiteral("n\u00e9w-pw \u263a"));
    // Every field is a password field: no user name.
    EXPECT_EQ(form.userName(), QString());
    EXPECT_EQ(form.password(), QStringLiteral("old-pw"));
}

TEST(SocketXMLFormsRead, MissingOrMalformedIdxFallsBackToEachDefault) {
    const auto forms = SocketXMLForms::parseDocument(QStringLiteral(
        "<forms><formdata><fields><i/><i idx=\"x7\"/><i idx=\" 3\"/><i idx=\"-4\"/>"
        "<i idx=\"99999999999\"/></fields></formdata><formdata idx=\"1.5\"/></forms>"));
    ASSERT_EQ(forms.subForms.size(), 2);
    EXPECT_EQ(forms.subForms[0].idx, 0);
    EXPECT_EQ(forms.subForms[1].idx, 0);
    QList<int> idx;
    for (const auto& e : forms.subForms[0].subElements) {
        idx.append(e.idx);
    }
    EXPECT_EQ(idx, (QList<int>{1, 1, 1, -4, 1}));
}

TEST(SocketXMLFormsRead, OnlyTheFirstFieldsElementCountsAndTextIncludesDescendants) {
    const auto forms = SocketXMLForms::parseDocument(QStringLiteral(
        "<forms><formdata name=\"f\"><meta>x</meta>"
        "<fields><input name=\"a\">one<b>two</b><![CDATA[<three>]]>&amp;&#52;</input></fields>"
        "<fields><input name=\"ignored\"/></fields></formdata>"
        "<formdata name=\"nofields\"><other><input/></other></formdata></forms>"));
    ASSERT_EQ(forms.subForms.size(), 2);
    ASSERT_EQ(forms.subForms[0].subElements.size(), 1);
    EXPECT_EQ(forms.subForms[0].subElements[0].stringValue, QStringLiteral("onetwo<three>&4"));
    EXPECT_TRUE(forms.subForms[1].subElements.isEmpty());
}

TEST(SocketXMLFormsRead, EmptyAttributeIsPresentMissingIsAbsent) {
    const auto forms = SocketXMLForms::parseDocument(
        QStringLiteral("<forms><f name=\"\"><fields><i type=\"\"/></fields></f></forms>"));
    const auto& e = forms.subForms[0].subElements[0];
    EXPECT_EQ(forms.subForms[0].name, QString());
    EXPECT_EQ(e.type, QString());
    EXPECT_FALSE(e.name.has_value());
    EXPECT_FALSE(e.isPassword());
}

struct BadDocument {
    const char* label;
    QString text;
    const char* reason; // part of the error text
};

class SocketXMLFormsRejects : public ::testing::TestWithParam<BadDocument> {};

QString nested(int depth, const QString& inner = {}) {
    return QStringLiteral("<e>").repeated(depth) + inner + QStringLiteral("</e>").repeated(depth);
}

TEST_P(SocketXMLFormsRejects, WithAClearErrorAndNoFormsAndWithoutQuotingTheDocument) {
    const auto& bad = GetParam();
    try {
        SocketXMLForms::parseDocument(bad.text);
        FAIL() << "accepted " << bad.label;
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().contains(QLatin1String(bad.reason))) << e.what();
        EXPECT_FALSE(e.message().contains(QLatin1String("hunter2"))) << e.what();
    }
    EXPECT_TRUE(SocketXMLForms::fromDocument(bad.text).subForms.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Documents, SocketXMLFormsRejects,
    ::testing::Values(
        BadDocument{"empty", QString(), "no root element"},
        BadDocument{"onlyDeclaration", QStringLiteral("<?xml version=\"1.0\"?>"),
                    "no root element"},
        BadDocument{"notXml", QStringLiteral("hunter2"), "not well-formed"},
        BadDocument{"unclosed",
                    QStringLiteral("<forms><f><fields><i type=\"password\">hunter2</i>"),
                    "ends before"},
        BadDocument{"mismatched", QStringLiteral("<forms><f>hunter2</g></forms>"),
                    "not well-formed"},
        BadDocument{"trailingGarbage", QStringLiteral("<forms/><forms/>"), "not well-formed"},
        BadDocument{"internalEntity",
                    QStringLiteral("<!DOCTYPE forms [<!ENTITY a \"hunter2\">]><forms>&a;</forms>"),
                    "document type declarations"},
        BadDocument{"billionLaughs",
                    QStringLiteral("<!DOCTYPE f [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                                   "\"&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;"
                                   "&b;&b;\">]><f>&c;&c;&c;</f>"),
                    "document type declarations"},
        BadDocument{"externalEntity",
                    QStringLiteral("<!DOCTYPE f SYSTEM \"file:///etc/passwd\"><f>&x;</f>"),
                    "document type declarations"},
        BadDocument{"undeclaredEntity", QStringLiteral("<forms><f>&hunter2;</f></forms>"),
                    "not well-formed"},
        BadDocument{"tooDeep", nested(65), "deeper than 64"},
        BadDocument{"huge",
                    QStringLiteral("<forms><f><fields><i>") +
                        QString(WebFormXmlReader::kMaxDocumentBytes, u'x') +
                        QStringLiteral("</i></fields></f></forms>"),
                    "larger than"},
        // Under the limit in UTF-16 units, over it in UTF-8 bytes.
        BadDocument{"hugeInUtf8",
                    QStringLiteral("<f>") +
                        QString(WebFormXmlReader::kMaxDocumentBytes / 2, QChar(0x263a)) +
                        QStringLiteral("</f>"),
                    "larger than"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SocketXMLFormsRead, NestingUpToTheLimitIsRead) {
    const auto forms = SocketXMLForms::parseDocument(QStringLiteral("<forms><f><fields><i>") +
                                                     nested(60, QStringLiteral("deep")) +
                                                     QStringLiteral("</i></fields></f></forms>"));
    EXPECT_EQ(forms.subForms[0].subElements[0].stringValue, QStringLiteral("deep"));
    EXPECT_NO_THROW(SocketXMLForms::parseDocument(nested(64)));
}

TEST(SocketXMLFormsWrite, IsTheExactOneLineDocument) {
    SocketXMLElement user;
    user.tag = QStringLiteral("input");
    user.name = QStringLiteral("a\"b");
    user.stringValue = QStringLiteral("x<y&z");
    SocketXMLElement bare; // no tag, name, type or value
    SocketXMLElement pass;
    pass.tag = QStringLiteral("input");
    pass.type = QStringLiteral("password");
    pass.idx = 7;
    pass.stringValue = QStringLiteral("p'w");
    SocketXMLForm named;
    named.name = QStringLiteral("login");
    named.idx = 3;
    named.subElements = {user, bare, pass};
    const SocketXMLForms forms({named, SocketXMLForm()});
    EXPECT_EQ(forms.xmlString(),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><forms>"
                             "<formdata name=\"login\" idx=\"3\"><fields>"
                             "<input name=\"a\"b\" idx=\"1\">x&lt;y&amp;z</input>"
                             "< idx=\"1\"></>"
                             "<input type=\"password\" idx=\"7\">p&apos;w</input>"
                             "</fields></formdata>"
                             "<formdata name=\"\" idx=\"0\"><fields></fields></formdata>"
                             "</forms>"));
    EXPECT_EQ(SocketXMLForms().xmlString(),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><forms></forms>"));
}

class SocketXMLFormsRoundTrip : public ::testing::TestWithParam<QString> {};

// The writer always names a form, so an absent form name comes back empty.
SocketXMLForms withNamedForms(SocketXMLForms forms) {
    for (auto& form : forms.subForms) {
        form.name = form.name.value_or(QString());
    }
    return forms;
}

TEST_P(SocketXMLFormsRoundTrip, ReadWriteReadKeepsEverything) {
    const auto first = SocketXMLForms::parseDocument(GetParam());
    const QString written = first.xmlString();
    const auto second = SocketXMLForms::parseDocument(written);
    EXPECT_EQ(second, withNamedForms(first));
    EXPECT_EQ(second.xmlString(), written);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, SocketXMLFormsRoundTrip,
    ::testing::Values(kLoginPage, kSignUpAndSearch, kChangePassword,
                      QStringLiteral("<forms><f><fields><i name=\"v\">a&lt;b&gt;c&amp;d&quot;"
                                     "\ttab\nline\u00fc\U0001F600</i></fields></f></forms>")),
    [](const auto& info) { return std::to_string(info.index); });

struct XmlValue {
    const char* label;
    QString value;
    QString document;
};

class WebFormCodecDecode : public ::testing::TestWithParam<XmlValue> {};

TEST_P(WebFormCodecDecode, GivesTheDocument) {
    EXPECT_EQ(WebFormCodec::decodeXmlValue(GetParam().value), GetParam().document);
}

INSTANTIATE_TEST_SUITE_P(
    Values, WebFormCodecDecode,
    ::testing::Values(
        XmlValue{"base64OfAscii", QStringLiteral("PGZvcm1zLz4="), QStringLiteral("<forms/>")},
        XmlValue{"plainXml", QStringLiteral("<forms/>"), QStringLiteral("<forms/>")},
        XmlValue{"badPadding", QStringLiteral("PGZvcm1zLz4"), QStringLiteral("PGZvcm1zLz4")},
        XmlValue{"base64WithSpace", QStringLiteral("PGZv cm1zLz4="),
                 QStringLiteral("PGZv cm1zLz4=")},
        // Base64 of UTF-8 "<f>ü</f>": not ASCII, so the value is taken as it stands.
        XmlValue{"base64OfNonAscii", QStringLiteral("PGY+w7w8L2Y+"),
                 QStringLiteral("PGY+w7w8L2Y+")},
        XmlValue{"nonAsciiValue", QStringLiteral("<f>\u00fc</f>"),
                 QStringLiteral("<f>\u00fc</f>")}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(WebFormCodec, EncodesUtf8AsBase64) {
    const QString document = QStringLiteral("<f>\u00fc</f>");
    const QString encoded = WebFormCodec::encodeXmlValue(document);
    EXPECT_EQ(encoded, QStringLiteral("PGY+w7w8L2Y+"));
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(encoded.toLatin1())), document);
}

} // namespace
} // namespace keskor
