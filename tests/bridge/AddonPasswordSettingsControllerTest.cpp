#include "bridge/AddonPasswordSettingsController.h"

#include "bridge/WebSocketPasswordRemoveViewController.h"
#include "bridge/WebSocketPasswordViewController.h"
#include "core/SettingManager.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/ScriptedPresenter.h"

#include <gtest/gtest.h>

using namespace keskor;
using keskor::testing::ScriptedPresenter;

namespace {

class AddonPasswordTest : public ::testing::Test {
protected:
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    SettingManager settings{defaults, keychain};
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};

    void expectScreen(const AddonPasswordSettingsController& screen, bool on) {
        EXPECT_EQ(screen.addonPasswordCheck, on);
        EXPECT_EQ(screen.addonPasswordChangeButton, on);
    }
    QString lastCall() const {
        return presenter.transcript().value(presenter.transcript().size() - 1);
    }
};

TEST_F(AddonPasswordTest, TheBoxOpensTheDialogThatFitsTheStoredState) {
    AddonPasswordSettingsController screen(settings, presenter);
    expectScreen(screen, false);
    screen.addonPasswordCheck = true;
    screen.onProtectPasswordCheck();
    EXPECT_TRUE(lastCall().startsWith(QStringLiteral("dialog WebSocketPasswordViewController")));
    EXPECT_TRUE(lastCall().contains(QStringLiteral("currentPassEnabled=false")))
        << lastCall().toStdString();

    settings.setAddonProtectPassword(QStringLiteral("old"));
    screen.refresh();
    expectScreen(screen, true);
    screen.addonPasswordCheck = false;
    screen.onProtectPasswordCheck();
    EXPECT_TRUE(
        lastCall().startsWith(QStringLiteral("dialog WebSocketPasswordRemoveViewController")));
    screen.onChangeProtectPassword();
    EXPECT_TRUE(lastCall().contains(QStringLiteral("currentPassEnabled=true")));

    presenter.clearCalls();
    screen.addonPasswordCheck = true; // on while stored: nothing to open
    screen.onProtectPasswordCheck();
    EXPECT_TRUE(presenter.calls().isEmpty());
}

TEST_F(AddonPasswordTest, SettingNeedsTheSameTextTwiceAndAnEmptyPasswordCounts) {
    AddonPasswordSettingsController screen(settings, presenter);
    WebSocketPasswordViewController dialog(screen, presenter);
    EXPECT_FALSE(dialog.currentPassEnabled);
    dialog.newPassField = QStringLiteral("one");
    dialog.confirmPassField = QStringLiteral("One");
    presenter.answerAlert(0);
    EXPECT_FALSE(dialog.onOk());
    EXPECT_EQ(lastCall(),
              QStringLiteral("alert critical dialog_warning/error_password_mismatch []"));
    EXPECT_FALSE(settings.addonProtectPassword());

    dialog.newPassField.clear();
    dialog.confirmPassField.clear();
    EXPECT_TRUE(dialog.onOk());
    EXPECT_EQ(settings.addonProtectPassword(), QString());
    expectScreen(screen, true);
}

TEST_F(AddonPasswordTest, ChangingChecksTheCurrentPasswordExactly) {
    settings.setAddonProtectPassword(QStringLiteral("Current"));
    AddonPasswordSettingsController screen(settings, presenter);
    WebSocketPasswordViewController dialog(screen, presenter);
    ASSERT_TRUE(dialog.currentPassEnabled);
    dialog.currentPassField = QStringLiteral("current");
    dialog.newPassField = dialog.confirmPassField = QStringLiteral("next");
    presenter.answerAlert(0);
    EXPECT_FALSE(dialog.onOk());
    EXPECT_EQ(lastCall(), QStringLiteral("alert critical dialog_warning/invalid_password []"));
    EXPECT_EQ(settings.addonProtectPassword(), QStringLiteral("Current"));

    dialog.currentPassField = QStringLiteral("Current");
    EXPECT_TRUE(dialog.onOk());
    EXPECT_EQ(settings.addonProtectPassword(), QStringLiteral("next"));
}

TEST_F(AddonPasswordTest, CancelShowsTheStoredStateAgain) {
    AddonPasswordSettingsController screen(settings, presenter);
    screen.addonPasswordCheck = true; // clicked on, then the set dialog is cancelled
    WebSocketPasswordViewController(screen, presenter).onCancel();
    expectScreen(screen, false);

    settings.setAddonProtectPassword(QStringLiteral("kept"));
    screen.refresh();
    screen.addonPasswordCheck = false; // clicked off, then the remove dialog is cancelled
    WebSocketPasswordRemoveViewController(screen, presenter).onCancel();
    expectScreen(screen, true);
    EXPECT_EQ(settings.addonProtectPassword(), QStringLiteral("kept"));
}

TEST_F(AddonPasswordTest, RemovingNeedsTheStoredPassword) {
    settings.setAddonProtectPassword(QStringLiteral("secret"));
    AddonPasswordSettingsController screen(settings, presenter);
    screen.addonPasswordCheck = false;
    WebSocketPasswordRemoveViewController dialog(screen, presenter);
    dialog.currentPassField = QStringLiteral("secret ");
    presenter.answerAlert(0);
    EXPECT_FALSE(dialog.onOk());
    EXPECT_EQ(lastCall(), QStringLiteral("alert warning dialog_error/invalid_password []"));
    EXPECT_EQ(settings.addonProtectPassword(), QStringLiteral("secret"));

    dialog.currentPassField = QStringLiteral("secret");
    EXPECT_TRUE(dialog.onOk());
    EXPECT_FALSE(settings.addonProtectPassword());
    EXPECT_FALSE(defaults.contains(settings.addonProtectPasswordKey));
    expectScreen(screen, false);
}

} // namespace
