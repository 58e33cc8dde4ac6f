#include "bridge/WebSocketPasswordUpdateViewController.h"

#include "core/shared/CommonException.h"
#include "platform/FakeClock.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

using keskor::testing::ScriptedPresenter;

class PasswordUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        entry = Info2Item::create(Info2Item::TypePassword, QStringLiteral("Mail"));
        entry->setUserName(QStringLiteral("ann"));
        entry->setUrl(QStringLiteral("https://mail.example/"));
        entry->setPassword(QStringLiteral("old"));
        entry->icon.index = 12;
    }

    std::unique_ptr<WebSocketPasswordUpdateViewController> make(bool withMainView = true) {
        WebSocketPasswordUpdateViewController::Hooks hooks;
        hooks.save = [this] {
            ++saves;
            if (saveFails) {
                throw CommonException(QStringLiteral("disk full"));
            }
        };
        if (withMainView) {
            hooks.refresh = [this](const Info2Item& item) { refreshed.append(item.description()); };
        }
        hooks.close = [this] { ++closes; };
        auto c = std::make_unique<WebSocketPasswordUpdateViewController>(presenter, clock, hooks);
        c->configure(entry, QStringLiteral("new"));
        c->viewDidLoad();
        return c;
    }

    std::shared_ptr<Info2Item> entry;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    FakeClock clock;
    QStringList refreshed;
    int saves = 0;
    int closes = 0;
    bool saveFails = false;
};

TEST_F(PasswordUpdateTest, ConfigureShowsTheEntryAndFillsBothFields) {
    auto c = make();
    EXPECT_EQ(c->descriptionLabel, QStringLiteral("Mail"));
    EXPECT_EQ(c->usernameLabel, QStringLiteral("ann (https://mail.example/)"));
    EXPECT_EQ(c->iconImageView.index, 12);
    EXPECT_EQ(c->passField, QStringLiteral("new"));
    EXPECT_EQ(c->confirmField, QStringLiteral("new"));

    auto bare = Info2Item::create(Info2Item::TypePassword, QStringLiteral("Bare"));
    c->configure(bare, QStringLiteral("x"));
    EXPECT_EQ(c->usernameLabel, QStringLiteral(" ()"));
}

TEST_F(PasswordUpdateTest, UpdateStoresTheBrowsersPasswordSavesRefreshesAndCloses) {
    auto c = make();
    // Whatever both fields say, the password received from the browser is stored.
    c->passField = QStringLiteral("typed");
    c->confirmField = QStringLiteral("typed");
    c->onUpdate();
    EXPECT_EQ(entry->password(), QStringLiteral("new"));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(refreshed, QStringList{QStringLiteral("Mail")});
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(clock.pendingCount(), 0);
    EXPECT_TRUE(presenter.calls().isEmpty());

    // A failed save is not reported, and without a main view nothing is refreshed.
    saveFails = true;
    entry->setPassword(QStringLiteral("old"));
    make(false)->onUpdate();
    EXPECT_EQ(entry->password(), QStringLiteral("new"));
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(refreshed.size(), 1);
    EXPECT_TRUE(presenter.calls().isEmpty());
}

TEST_F(PasswordUpdateTest, MismatchingFieldsAlertAndStayOpen) {
    presenter.answerAlert(0);
    auto c = make();
    c->confirmField = QStringLiteral("nex");
    c->onUpdate();
    EXPECT_EQ(
        presenter.transcript(),
        QStringList{QStringLiteral("alert critical dialog_warning/error_password_mismatch []")});
    EXPECT_EQ(entry->password(), QStringLiteral("old"));
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(c->isClosed());
    c->confirmField = c->passField;
    c->onUpdate();
    EXPECT_EQ(entry->password(), QStringLiteral("new"));
    EXPECT_EQ(closes, 1);
}

TEST_F(PasswordUpdateTest, CancelAndTheIdleMinuteLeaveTheEntryUnchanged) {
    auto c = make();
    clock.advance(59'999);
    EXPECT_FALSE(c->isClosed());
    clock.advance(1);
    EXPECT_TRUE(c->isClosed());
    c->onUpdate(); // too late
    EXPECT_EQ(entry->password(), QStringLiteral("old"));
    EXPECT_EQ(closes, 1);

    auto other = make();
    other->onCancel();
    other->onCancel();
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(entry->password(), QStringLiteral("old"));
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(clock.pendingCount(), 0);
}

} // namespace
} // namespace keskor
