#include "bridge/WebFormPostFlow.h"

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

struct PostCase {
    const char* name;
    QString xml;
    const char* loaded; // the description of the last filled entry, if any
    Action action;
    const char* entry; // the entry to update, if any
    QString userName;  // what the decision carries for add and update
    QString password;
    bool form = true; // whether an add is preset from the first form
    QString url = kUrl;
};

// On the database's ignored list; the entries' own address is not.
const QString kIgnored = QStringLiteral("https://mail.example/login?ignored");

class WebFormPostFlowTest : public ::testing::TestWithParam<PostCase> {
protected:
    void SetUp() override {
        file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                       PassFile::AuthenticationType::Password, false);
        add(QStringLiteral("first"), QStringLiteral("old"));
        add(QStringLiteral("second"), QStringLiteral("other"));
        add(QStringLiteral("noPassword"), std::nullopt)->setUserName(QStringLiteral("carl"));
        file.addIgnoredUrl(kIgnored);
    }

    std::shared_ptr<Info2Item> add(const QString& description, std::optional<QString> password) {
        auto item = Info2Item::create(Info2Item::TypePassword, description);
        item->setUrl(kUrl);
        item->setUserName(QStringLiteral("ann"));
        item->setPassword(std::move(password));
        file.addItem(item);
        return item;
    }
    std::shared_ptr<Info2Item> named(const char* description) const {
        for (const auto& item : file.items()) {
            if (description && item->description() == QLatin1String(description)) {
                return item;
            }
        }
        return nullptr;
    }

    PassFile file;
};

TEST_P(WebFormPostFlowTest, Decides) {
    const PostCase& c = GetParam();
    std::optional<QString> loaded;
    if (c.loaded) {
        loaded = named(c.loaded)->fingerprint();
    }
    const auto d = WebFormPostFlow::decide(file, QStringLiteral("Mail"), c.url, c.xml, loaded);
    EXPECT_EQ(d.action, c.action);
    EXPECT_EQ(d.entry, named(c.entry));
    EXPECT_EQ(d.title, QStringLiteral("Mail"));
    EXPECT_EQ(d.url, c.url);
    if (c.action == Action::addEntry || c.action == Action::updatePassword) {
        EXPECT_EQ(d.userName, c.userName);
        EXPECT_EQ(d.password, c.password);
    }
    if (c.action == Action::addEntry) {
        ASSERT_EQ(d.form.has_value(), c.form);
        if (c.form) {
            EXPECT_EQ(d.form->name, QStringLiteral("login"));
        }
    }
}

const QString ann = QStringLiteral("ann");

INSTANTIATE_TEST_SUITE_P(
    Posts, WebFormPostFlowTest,
    ::testing::Values(
        PostCase{"SamePasswordAsStored", loginForm(ann, "old"), nullptr, Action::none, nullptr},
        PostCase{"ChangedUpdatesTheFirstMatch", loginForm(ann, "new"), nullptr,
                 Action::updatePassword, "first", ann, "new"},
        // The last filled entry is the one compared.
        PostCase{"LastFilledChanged", loginForm(ann, "old"), "second", Action::updatePassword,
                 "second", ann, "old"},
        PostCase{"LastFilledUnchanged", loginForm(ann, "other"), "second", Action::none, nullptr},
        PostCase{"LastFilledNotAMatch", loginForm(ann, "x"), "noPassword", Action::none, nullptr},
        PostCase{"NoStoredPasswordTakesAnEmptyOne", loginForm("carl", ""), nullptr,
                 Action::updatePassword, "noPassword", "carl", ""},
        PostCase{"UnknownUserName", loginForm("bea", "pw"), nullptr, Action::addEntry, nullptr,
                 "bea", "pw"},
        PostCase{"NoDocument", QString(), nullptr, Action::addEntry, nullptr, "", "", false},
        PostCase{"NoForms", "<forms/>", nullptr, Action::addEntry, nullptr, "", "", false},
        PostCase{"Unreadable", "<forms><f>", nullptr, Action::addEntry, nullptr, "", "", false},
        PostCase{"Base64OfNoForms", "PGZvcm1zLz4=", nullptr, Action::addEntry, nullptr, "", "",
                 false},
        PostCase{"OtherPage", loginForm(ann, "old"), nullptr, Action::addEntry, nullptr, ann, "old",
                 true, "https://else.example/"},
        PostCase{"Ignored", loginForm(ann, "new"), nullptr, Action::ignored, nullptr, ann, "new",
                 true, kIgnored},
        // The ignored list needs the whole text exactly.
        PostCase{"IgnoredPrefix", QString(), nullptr, Action::addEntry, nullptr, "", "", false,
                 kIgnored.chopped(1)}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace keskor
