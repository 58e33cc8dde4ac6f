#include "bridge/AutoCompleteHelper.h"

#include "platform/FakeActiveWindowInfo.h"
#include "platform/FakeClickMonitor.h"
#include "platform/FakeClock.h"
#include "platform/MemoryClipboard.h"
#include "platform/RecordingKeyInjector.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

const ActiveWindow kTarget{0x400001, 4242, QStringLiteral("Firefox")};
const ActiveWindow kOwn{0x500001, 77, QStringLiteral("keskor")};
const KeyChord kPaste{InjectedKey::V, true, false};

class AutoCompleteHelperTest : public ::testing::Test {
protected:
    AutoCompleteHelperTest() {
        entry.setUserName(QStringLiteral("jürgen \"q\" \\ 😀"));
        entry.setPassword(QStringLiteral("s3cr=t<>"));
        entry.mutableCustomFields().append(PswField{QStringLiteral("PIN"), QStringLiteral("1234")});
    }

    // Arms for the entry, clicks into the target and lets the run play out.
    void runWith(const QString& autoTypeTemplate, const ActiveWindow& target = kTarget) {
        entry.setAutoTypeTemplate(autoTypeTemplate);
        helper.start(entry, [this] { ++done; });
        windows.activate(target);
        clicks.click();
        clock.advance(120'000);
    }
    QList<KeyChord> chords() const {
        QList<KeyChord> out;
        for (const auto& s : keys.sent) {
            out.append(s.chord);
        }
        return out;
    }

    FakeClock clock;
    MemoryClipboard clipboard;
    RecordingKeyInjector keys{&clipboard, [this] { return clock.elapsed(); }};
    FakeActiveWindowInfo windows;
    FakeClickMonitor clicks;
    QPoint ownWindow{-1, -1};
    AutoCompleteHelper helper{{keys, windows, clicks, clipboard, clock,
                               [this](QPoint at) { return at == ownWindow; }, kOwn.pid}};
    Info2Item entry;
    int done = 0;
    QList<std::pair<UiText, UiText>> problems;
    void SetUp() override {
        helper.onProblem = [this](const UiText& m, const UiText& d) { problems.append({m, d}); };
    }
};

TEST_F(AutoCompleteHelperTest, TypesTheLoginTemplateWithClearPastesAndTimedEnter) {
    runWith(QStringLiteral("<USER><TAB><PASS><ENTER>"));
    const QList<KeyChord> expected = {
        {InjectedKey::A, true, false}, {InjectedKey::Backspace}, kPaste, {InjectedKey::Tab}, kPaste,
        {InjectedKey::Enter}};
    ASSERT_EQ(chords(), expected);
    EXPECT_EQ(keys.sent[2].clipboard, *entry.userName());
    EXPECT_EQ(keys.sent[4].clipboard, *entry.password());
    EXPECT_GE(keys.sent[5].atMs - keys.sent[4].atMs, 1000);
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(problems.isEmpty());
    // The password does not stay on the clipboard after the run.
    EXPECT_FALSE(clipboard.hasText());
}

TEST_F(AutoCompleteHelperTest, DelaysCustomFieldsAndMissingFields) {
    runWith(QStringLiteral("<PIN><delay=0.5><DELAY=2>xNOPE><DELAY=abc><DELAY=1e12><SPACE>"));
    ASSERT_EQ(keys.sent.size(), 4); // Ctrl+A, Backspace, the PIN's paste, Space
    EXPECT_EQ(keys.sent[2].clipboard, QStringLiteral("1234"));
    // 0.5 s + 2 s + 0.5 s for the missing field; bad and huge delays add at most the cap.
    const qint64 gap = keys.sent[3].atMs - keys.sent[2].atMs;
    EXPECT_GE(gap, 3000);
    EXPECT_LE(gap, 3000 + AutoCompleteHelper::kMaxDelayMs);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems[0].first.value(), QStringLiteral("autocomplete_missing_fields"));
    EXPECT_EQ(problems[0].second.value(), QStringLiteral("NOPE"));
}

TEST_F(AutoCompleteHelperTest, ClicksInOwnWindowsOrUnarmedDoNothing) {
    clicks.click();
    clock.advance(5000);
    helper.start(entry, [this] { ++done; });
    windows.activate(kTarget);
    clicks.click(ownWindow);
    windows.activate(kOwn);
    clicks.click();
    clock.advance(5000);
    EXPECT_TRUE(keys.sent.isEmpty());
    EXPECT_TRUE(helper.hasToRunAutoComplete);
    EXPECT_FALSE(helper.runNow(entry, {}));
}

TEST_F(AutoCompleteHelperTest, StopsTypingWhenTheTargetWindowGoes) {
    keys.beforeChord = [this](const KeyChord& chord) {
        if (chord.key == InjectedKey::Tab) {
            windows.activate(ActiveWindow{0x600001, 99, QStringLiteral("Gimp")});
        }
    };
    runWith(QStringLiteral("<USER><TAB><PASS><ENTER>"));
    ASSERT_EQ(keys.sent.size(), 4);
    EXPECT_EQ(keys.sent.last().chord.key, InjectedKey::Tab);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems[0].first.value(), QStringLiteral("autocomplete_window_lost"));
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(helper.isRunning());
}

TEST_F(AutoCompleteHelperTest, TerminalsPasteWithShiftAndUserCopiesAreKept) {
    runWith(QStringLiteral("<USER>"), ActiveWindow{0x700001, 5, QStringLiteral("konsole")});
    ASSERT_EQ(keys.sent.size(), 3);
    EXPECT_EQ(keys.sent[2].chord, (KeyChord{InjectedKey::V, true, true}));
    keys.sent.clear();
    entry.setAutoTypeTemplate(QStringLiteral("<USER>"));
    ASSERT_TRUE(helper.runNow(entry, {}));
    clock.advance(1000);
    clipboard.setText(QStringLiteral("the user's own copy"), false);
    clock.advance(5000);
    EXPECT_EQ(clipboard.text(), QStringLiteral("the user's own copy"));
}

TEST(AutoCompleteTemplate, PiecesLoseTheirFirstCharacter) {
    EXPECT_EQ(AutoCompleteHelper::tokensOf(QStringLiteral("<USER>xTAB><>>PASS")),
              (QStringList{QStringLiteral("USER"), QStringLiteral("TAB"), QString(),
                           QStringLiteral("ASS")}));
}

} // namespace
