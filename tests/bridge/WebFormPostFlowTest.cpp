// What happens to a form the user submitted in the browser.

#include "bridge/WebFormPostFlow.h"

#include "bridge/IgnoredUrls.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

using Action = WebFormPostFlow::Action;

const QString kUrl = QStringLiteral("https://mail.example/login");

QString loginForm(const QString& user, const QString& password) {
    return QStringLiteral("<forms><formdata name=\"login\" idx=\"0\"><fields>"
                          "<input name=\"p\" type=\"password\" idx=\"2\">%2</input>"
                          "<input name=\"u\" idx=\"1\">%1</input>"
                          "</fields></formdata><formdata><fields><input>other</input>"
                          "</fields></formdata></forms>")
        .arg(user, password);
}

class WebFormPostFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                       PassFile::AuthenticationType::Password, false);
        first = add(QStringLiteral("first"), QStringLiteral("old"));
        second = add(QStringLiteral("second"), QStringLiteral("other"));
        noPassword = add(QStringLiteral("noPassword"), std::nullopt);
        noPassword->setUserName(QStringLiteral("carl"));
    }

    std::shared_ptr<Info2Item> add(const QString& description, std::optional<QString> password) {
        auto item = Info2Item::create(Info2Item::TypePassword, description);
        item->setUrl(kUrl);
        item->setUserName(QStringLiteral("ann"));
        item->setPassword(std::move(password));
        file.addItem(item);
        return item;
    }

    WebFormPostFlow::Decision decide(const QString& xml,
                                     std::optional<QString> loaded = std::nullopt) {
        return WebFormPostFlow::decide(file, QStringLiteral("Mail"), kUrl, xml, loaded);
    }

    PassFile file;
    std::shared_ptr<Info2Item> first;
    std::shared_ptr<Info2Item> second;
    std::shared_ptr<Info2Item> noPassword;
};

TEST_F(WebFormPostFlowTest, SamePasswordAsStoredDoesNothing) {
    const auto d = decide(loginForm(QStringLiteral("ann"), QStringLiteral("old")));
    EXPECT_EQ(d.action, Action::none);
    EXPECT_EQ(d.entry, nullptr);
}

TEST_F(WebFormPostFlowTest, ChangedPasswordUpdatesTheFirstMatch) {
    const auto d = decide(loginForm(QStringLiteral("ann"), QStringLiteral("new")));
    EXPECT_EQ(d.action, Action::updatePassword);
    EXPECT_EQ(d.entry, first);
    EXPECT_EQ(d.password, QStringLiteral("new"));
}

TEST_F(WebFormPostFlowTest, LastFilledEntryIsTheOneCompared) {
    auto d = decide(loginForm(QStringLiteral("ann"), QStringLiteral("old")), second->fingerprint);
    EXPECT_EQ(d.action, Action::updatePassword);
    EXPECT_EQ(d.entry, second);
    d = decide(loginForm(QStringLiteral("ann"), QStringLiteral("other")), second->fingerprint);
    EXPECT_EQ(d.action, Action::none);
    // The last filled entry is not one of the matches: nothing happens.
    d = decide(loginForm(QStringLiteral("ann"), QStringLiteral("x")), noPassword->fingerprint);
    EXPECT_EQ(d.action, Action::none);
}

TEST_F(WebFormPostFlowTest, EntryWithoutPasswordIsUpdatedEvenWithAnEmptyOne) {
    const auto d = decide(loginForm(QStringLiteral("carl"), QString()));
    EXPECT_EQ(d.action, Action::updatePassword);
    EXPECT_EQ(d.entry, noPassword);
    EXPECT_EQ(d.password, QString());
}

TEST_F(WebFormPostFlowTest, UnknownUserNameOffersANewEntryPresetFromTheFirstForm) {
    const auto d = decide(loginForm(QStringLiteral("bea"), QStringLiteral("pw")));
    EXPECT_EQ(d.action, Action::addEntry);
    EXPECT_EQ(d.title, QStringLiteral("Mail"));
    EXPECT_EQ(d.url, kUrl);
    EXPECT_EQ(d.userName, QStringLiteral("bea"));
    EXPECT_EQ(d.password, QStringLiteral("pw"));
    ASSERT_TRUE(d.form.has_value());
    EXPECT_EQ(d.form->name, QStringLiteral("login"));
}

TEST_F(WebFormPostFlowTest, OtherPageOffersANewEntry) {
    const auto d = WebFormPostFlow::decide(
        file, QStringLiteral("T"), QStringLiteral("https://else.example/"),
        loginForm(QStringLiteral("ann"), QStringLiteral("old")), std::nullopt);
    EXPECT_EQ(d.action, Action::addEntry);
}

class WebFormPostFlowNoForm : public WebFormPostFlowTest,
                              public ::testing::WithParamInterface<QString> {};

TEST_P(WebFormPostFlowNoForm, OffersANewEntryWithoutForm) {
    const auto d = decide(GetParam());
    EXPECT_EQ(d.action, Action::addEntry);
    EXPECT_FALSE(d.form.has_value());
    EXPECT_EQ(d.userName, QString());
    EXPECT_EQ(d.password, QString());
}

INSTANTIATE_TEST_SUITE_P(Documents, WebFormPostFlowNoForm,
                         ::testing::Values(QString(), QStringLiteral("<forms/>"),
                                           QStringLiteral("<forms><f>"),
                                           QStringLiteral("PGZvcm1zLz4=")),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(WebFormPostFlowTest, IgnoredUrlNeedsTheWholeTextExactly) {
    file.addIgnoredUrl(kUrl);
    EXPECT_EQ(decide(loginForm(QStringLiteral("bea"), QStringLiteral("pw"))).action,
              Action::ignored);
    const auto other =
        WebFormPostFlow::decide(file, QStringLiteral("T"), kUrl + u'?', QString(), std::nullopt);
    EXPECT_EQ(other.action, Action::addEntry);
}

TEST(IgnoredUrls, ExactAndQueryInsensitiveTests) {
    auto file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                        PassFile::AuthenticationType::Password, false);
    file.addIgnoredUrl(QStringLiteral("https://Shop.example/cart?x=1"));
    const QString page = QStringLiteral("https://shop.example/cart?y=2");
    EXPECT_FALSE(IgnoredUrls::containsExactly(file, page));
    EXPECT_TRUE(IgnoredUrls::containsIgnoringQuery(file, page));
    EXPECT_TRUE(
        IgnoredUrls::containsExactly(file, QStringLiteral("https://Shop.example/cart?x=1")));
    EXPECT_FALSE(IgnoredUrls::containsIgnoringQuery(file, QStringLiteral("https://shop.example/")));
}

} // namespace
} // namespace keskor
