#include "bridge/AutoCompletePopupViewController.h"

#include "bridge/AutoCompleteHelper.h"
#include "platform/FakeActiveWindowInfo.h"
#include "platform/FakeClickMonitor.h"
#include "platform/FakeClock.h"
#include "platform/MemoryClipboard.h"
#include "platform/RecordingKeyInjector.h"
#include "testing/ScriptedPresenter.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

struct PopupFixture : ::testing::Test {
    AutoCompletePopupViewController popupWith(AutoCompleteHelper* helper) {
        return AutoCompletePopupViewController(
            helper, presenter, Info2Item(),
            {[this](bool visible) { mainVisible.append(visible); }, [this] { ++closed; }});
    }
    FakeClock clock;
    MemoryClipboard clipboard;
    RecordingKeyInjector keys;
    FakeActiveWindowInfo windows;
    FakeClickMonitor clicks;
    AutoCompleteHelper helper{{keys, windows, clicks, clipboard, clock, {}, 1}};
    keskor::testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << qPrintable(m); }};
    QList<bool> mainVisible;
    int closed = 0;
};

TEST_F(PopupFixture, ArmsWhileShownAndDisarmsWhenClosed) {
    AutoCompletePopupViewController popup = popupWith(&helper);
    popup.viewDidAppear();
    EXPECT_TRUE(helper.hasToRunAutoComplete);
    popup.onCancel();
    popup.viewWillDisappear();
    EXPECT_FALSE(helper.hasToRunAutoComplete);
    EXPECT_EQ(mainVisible, (QList<bool>{false, true}));
    EXPECT_EQ(closed, 1);
    // The click after closing types nothing.
    windows.activate(ActiveWindow{9, 9, QStringLiteral("xterm")});
    clicks.click();
    clock.advance(10'000);
    EXPECT_TRUE(keys.sent.isEmpty());
}

TEST_F(PopupFixture, WithoutX11TheUserIsToldAndTheMainWindowStays) {
    presenter.answerAlert(0);
    AutoCompletePopupViewController popup = popupWith(nullptr);
    popup.viewDidAppear();
    popup.viewWillDisappear();
    EXPECT_EQ(presenter.calls().size(), 1);
    EXPECT_EQ(presenter.calls()[0].informative.value(), QStringLiteral("autocomplete_needs_x11"));
    EXPECT_TRUE(mainVisible.isEmpty());
    EXPECT_EQ(closed, 1);
}

} // namespace
