// The generator dialog's tabs without widgets: collecting and validating the option, the
// rebalancing of percentages, steppers and digit-only fields, the mouse-driven tab and OK.

#include "testing/ScriptedPresenter.h"
#include "tests/tools/ScriptedRandom.h"
#include "tools/PasswordGeneratorViewController.h"
#include "tools/PasswordHelper.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

using Row = PassGenRow;
using Field = PassGenAdvancedTabController::Field;

class AdvancedTabTest : public ::testing::Test {
protected:
    testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    SystemRandomSource random;
    QStringList copied;
    PassGenAdvancedTabController tab{presenter, &test::markedKey, random,
                                     [this](const QString& p) { copied << p; }};

    /// Only these rows on, with these texts.
    void rows(std::initializer_list<std::pair<Row, const char*>> on) {
        PassGenAdvancedTabState s = tab.state();
        for (auto& r : s.rows) {
            r.checked = false;
        }
        for (const auto& [row, text] : on) {
            s.row(row).checked = true;
            s.row(row).percentField = QString::fromUtf8(text);
        }
        tab.setState(s);
    }
    QStringList percents() const {
        QStringList out;
        for (const auto& r : tab.state().rows) {
            out << (r.checked ? r.percentField : QStringLiteral("-"));
        }
        return out;
    }
};

TEST_F(AdvancedTabTest, TypingRebalancesTheOtherFieldsAndCapsAt100) {
    rows({{Row::Lower, "25"}, {Row::Upper, "25"}, {Row::Digits, "25"}});
    tab.controlTextDidChange(Field::Percent, QStringLiteral("40"), Row::Lower);
    EXPECT_EQ(percents(), (QStringList{"40", "30", "30", "-", "-"}));
    // 150 is kept as typed but counts as 100.
    rows({{Row::Lower, "25"}, {Row::Upper, "25"}, {Row::Digits, "25"}, {Row::Special, "25"}});
    tab.controlTextDidChange(Field::Percent, QStringLiteral("150"), Row::Upper);
    EXPECT_EQ(percents(), (QStringList{"0", "150", "0", "0", "-"}));
    const auto option = PassGenAdvancedTabController::collectOption(tab.state());
    EXPECT_EQ(option.uppercasePercent, 100);
    EXPECT_EQ(option.lowercasePercent, 0);
}

TEST_F(AdvancedTabTest, FieldsKeepOnlyDigits) {
    tab.controlTextDidChange(Field::Percent, QStringLiteral("2a5%"), Row::Special);
    EXPECT_EQ(tab.state().row(Row::Special).percentField, QStringLiteral("25"));
    tab.controlTextDidChange(Field::Length, QStringLiteral("-1x6"));
    EXPECT_EQ(tab.state().lengthField, QStringLiteral("16"));
    tab.controlTextDidChange(Field::Tries, QStringLiteral("abc"));
    EXPECT_EQ(tab.state().triesField, QString());
}

TEST_F(AdvancedTabTest, UncheckingARowDisablesItAndRebalances) {
    tab.onSettingCheck(Row::Special, false);
    EXPECT_FALSE(tab.state().row(Row::Special).controlsEnabled);
    EXPECT_EQ(percents(), (QStringList{"33", "33", "33", "-", "-"}));
    tab.onSettingCheck(Row::Custom, true);
    EXPECT_TRUE(tab.state().row(Row::Custom).controlsEnabled);
    EXPECT_EQ(percents(), (QStringList{"33", "33", "33", "-", "0"}));
}

TEST_F(AdvancedTabTest, SteppersRespectTheirRanges) {
    rows({{Row::Lower, "99"}, {Row::Upper, "1"}});
    tab.onSettingStepper(Row::Lower, +1);
    EXPECT_EQ(percents(), (QStringList{"99", "1", "-", "-", "-"}));
    rows({{Row::Lower, "1"}, {Row::Upper, "99"}});
    tab.onSettingStepper(Row::Lower, -1);
    EXPECT_EQ(percents(), (QStringList{"1", "99", "-", "-", "-"}));
    tab.onSettingStepper(Row::Lower, +1); // 2 + 99: one too many, 1 / 2 others = 0
    EXPECT_EQ(percents(), (QStringList{"2", "99", "-", "-", "-"}));

    // Length steps within 4..255, the number of tries from 1 upwards.
    const auto fields = [this] { return tab.state().lengthField + '/' + tab.state().triesField; };
    PassGenAdvancedTabState s = tab.state();
    s.lengthField = QStringLiteral("255");
    s.triesField = QStringLiteral("1");
    tab.setState(s);
    tab.onPassLengthStepper(+1);
    tab.onGenerateCountStepper(-1);
    EXPECT_EQ(fields(), QStringLiteral("255/1"));
    tab.onPassLengthStepper(-1);
    tab.onGenerateCountStepper(+5000);
    EXPECT_EQ(fields(), QStringLiteral("254/5001"));
    s = tab.state();
    s.lengthField = QStringLiteral("4");
    tab.setState(s);
    tab.onPassLengthStepper(-1);
    EXPECT_EQ(fields(), QStringLiteral("4/5001"));
}

TEST_F(AdvancedTabTest, RadioSwitchesWhichControlsAreEnabled) {
    tab.onTypeRadio(true);
    EXPECT_TRUE(tab.state().selectedCharsFieldEnabled);
    EXPECT_FALSE(tab.state().rowChecksEnabled);
    EXPECT_FALSE(tab.state().atLeastOneEnabled);
    EXPECT_FALSE(tab.state().row(Row::Lower).controlsEnabled);
    tab.onTypeRadio(false);
    EXPECT_FALSE(tab.state().selectedCharsFieldEnabled);
    EXPECT_TRUE(tab.state().atLeastOneEnabled);
    EXPECT_TRUE(tab.state().row(Row::Lower).controlsEnabled);
    EXPECT_FALSE(tab.state().row(Row::Custom).controlsEnabled);
}

TEST_F(AdvancedTabTest, CollectsTheOptionWithFallbacks) {
    PassGenAdvancedTabState s = tab.state();
    s.lengthField.clear();
    s.row(Row::Digits).percentField = QStringLiteral("x");
    s.row(Row::Custom).checked = false;
    s.row(Row::Custom).percentField = QStringLiteral("50");
    s.customCharsField = QStringLiteral("€e\u0301");
    s.atLeastOneCheck = true;
    s.excludeSimilarCheck = true;
    auto o = PassGenAdvancedTabController::collectOption(s);
    EXPECT_FALSE(o.useOnlySelectedChars);
    EXPECT_TRUE(o.useCustomSettings);
    EXPECT_EQ(o.passwordLength, 24);
    EXPECT_EQ(o.numbersPercent, 0);
    EXPECT_EQ(o.customCharPercent, 0);
    EXPECT_EQ(o.customCharSet, (QStringList{"€", "e\u0301"}));
    EXPECT_TRUE(o.useAtleastOneOfSelected);
    EXPECT_TRUE(o.excludeSimilar);

    s.selectedCharsRadio = true;
    s.selectedCharsField = QStringLiteral("aab");
    s.lengthField = QStringLiteral("7");
    o = PassGenAdvancedTabController::collectOption(s);
    EXPECT_TRUE(o.useOnlySelectedChars);
    EXPECT_FALSE(o.useCustomSettings);
    EXPECT_FALSE(o.useAtleastOneOfSelected);
    EXPECT_EQ(o.selectedCharSet, (QStringList{"a", "a", "b"}));
    EXPECT_EQ(o.passwordLength, 7);
}

TEST_F(AdvancedTabTest, TooFewDistinctCharactersOrNoRowWarnAndKeepThePassword) {
    const QString warning = QStringLiteral("alert warning dialog_warning/pass_generator_error []");
    tab.onTypeRadio(true);
    tab.controlTextDidChange(Field::SelectedChars, QStringLiteral("aaaaaaaaab"));
    presenter.answerAlert(0);
    EXPECT_FALSE(tab.onGenerate());
    EXPECT_EQ(presenter.transcript(), QStringList{warning});
    EXPECT_TRUE(tab.password().isEmpty());

    tab.controlTextDidChange(Field::SelectedChars, QStringLiteral("abcdefghij"));
    ASSERT_TRUE(tab.onGenerate());
    const QString previous = tab.password();
    EXPECT_EQ(previous.size(), 24);
    for (const QChar c : previous) {
        EXPECT_TRUE(c >= u'a' && c <= u'j');
    }
    EXPECT_EQ(tab.state().plainPasswordField, previous);
    EXPECT_EQ(tab.state().readout, PasswordHelper::strengthReadout(previous, &test::markedKey));

    tab.onTypeRadio(false);
    rows({});
    presenter.answerAlert(0);
    EXPECT_FALSE(tab.onGenerate());
    EXPECT_EQ(tab.password(), previous);
    EXPECT_EQ(presenter.transcript().last(), warning);
}

TEST_F(AdvancedTabTest, ImpossibleOptionsShowTheGeneratorsMessage) {
    PassGenAdvancedTabState s = tab.state();
    s.atLeastOneCheck = true;
    s.lengthField = QStringLiteral("2");
    tab.setState(s);
    presenter.answerAlert(0);
    EXPECT_FALSE(tab.onGenerate());
    ASSERT_EQ(presenter.calls().size(), 1);
    EXPECT_EQ(presenter.calls()[0].message, UiText::key("dialog_warning"));
    EXPECT_FALSE(presenter.calls()[0].informative.isKey());
    EXPECT_TRUE(presenter.calls()[0].informative.value().contains("2 characters"));
}

TEST_F(AdvancedTabTest, EmptyTriesMakesTenCandidates) {
    test::ScriptedRandom scripted;
    PassGenAdvancedTabController scriptedTab{presenter, &test::markedKey, scripted, {}};
    PassGenAdvancedTabState s = scriptedTab.state();
    s.selectedCharsRadio = true;
    s.selectedCharsField = QStringLiteral("abcdefghiJ");
    s.lengthField = QStringLiteral("4");
    s.triesField.clear();
    scriptedTab.setState(s);
    for (int candidate = 0; candidate < 9; ++candidate) {
        scripted.draws(10, {0, 0, 0, 0}); // aaaa
    }
    scripted.draws(10, {9, 0, 0, 0}); // Jaaa, the only stronger one, made last
    ASSERT_TRUE(scriptedTab.onGenerate());
    EXPECT_EQ(scriptedTab.password(), QStringLiteral("Jaaa"));
    EXPECT_EQ(scripted.remaining(), 0u);
}

TEST_F(AdvancedTabTest, SegmentsCopyAndToggle) {
    tab.onPassSegment(0);
    EXPECT_TRUE(copied.isEmpty());
    tab.controlTextDidChange(Field::PlainPassword, QStringLiteral("typed"));
    EXPECT_EQ(tab.state().securePasswordField, QStringLiteral("typed"));
    tab.onPassSegment(0);
    EXPECT_EQ(copied, QStringList{"typed"});
    EXPECT_EQ(tab.state().toggleLabel, QStringLiteral("<show>"));
    tab.onPassSegment(1);
    EXPECT_TRUE(tab.state().showsPlain);
    EXPECT_EQ(tab.state().toggleLabel, QStringLiteral("<hide>"));
    tab.onPassSegment(1);
    EXPECT_EQ(tab.state().toggleLabel, QStringLiteral("<show>"));
}

class StandardTabTest : public ::testing::Test {
protected:
    SystemRandomSource random;
    QStringList copied;
    PassGenStandardTabController tab{&test::markedKey, random,
                                     [this](const QString& p) { copied << p; }};
};

TEST_F(StandardTabTest, EveryFifthMovementAddsOneCharacterUpToTheLength) {
    tab.state().lengthField = QStringLiteral("4");
    for (int move = 1; move <= 15; ++move) {
        tab.mouseMoved(10);
    }
    EXPECT_EQ(tab.state().generated.size(), 3); // moves 1, 6, 11
    tab.mouseMoved(10);                         // 16
    EXPECT_EQ(tab.state().generated.size(), 4);
    for (int move = 0; move < 30; ++move) {
        tab.mouseMoved(10);
    }
    EXPECT_EQ(tab.state().generated.size(), 4);
    EXPECT_EQ(tab.movementCounter(), 46);
    EXPECT_EQ(tab.state().securePasswordField, tab.state().generated);
    EXPECT_TRUE(tab.state().copyEnabled);
    EXPECT_EQ(tab.state().readout.summary,
              PasswordHelper::strengthSummary(tab.state().generated, &test::markedKey));
}

TEST_F(StandardTabTest, MovementsHighInTheWindowAreNotCounted) {
    tab.mouseMoved(320);
    tab.mouseMoved(500);
    EXPECT_EQ(tab.movementCounter(), 0);
    tab.mouseMoved(319.9);
    EXPECT_EQ(tab.movementCounter(), 1);
    EXPECT_EQ(tab.state().generated.size(), 1);
    EXPECT_EQ(tab.state().animationAsset, QStringLiteral("matrix"));
}

TEST_F(StandardTabTest, NoClassTickedAddsNothing) {
    auto& s = tab.state();
    s.uppercaseCheck = s.lowercaseCheck = s.specialCheck = s.digitsCheck = false;
    for (int move = 0; move < 20; ++move) {
        tab.mouseMoved(1);
    }
    EXPECT_TRUE(tab.state().generated.isEmpty());
    EXPECT_FALSE(tab.state().clearEnabled);
}

TEST_F(StandardTabTest, OnlyTheTickedClassIsDrawnUpTo255WithAnEmptyLength) {
    tab.state().uppercaseCheck = tab.state().lowercaseCheck = tab.state().specialCheck = false;
    tab.state().lengthField.clear();
    for (int move = 0; move < 5 * 300; ++move) {
        tab.mouseMoved(1);
    }
    EXPECT_EQ(tab.state().generated.size(), 255);
    for (const QChar c : tab.state().generated) {
        EXPECT_TRUE(c.isDigit());
    }
}

TEST_F(StandardTabTest, LengthFieldEditsAndStepper) {
    tab.controlTextDidChange(PassGenStandardTabController::Field::Length, QStringLiteral("3"));
    EXPECT_EQ(tab.state().lengthField, QStringLiteral("3"));
    tab.controlTextDidChange(PassGenStandardTabController::Field::Length, QStringLiteral("300"));
    EXPECT_EQ(tab.state().lengthField, QStringLiteral("300"));
    tab.controlTextDidChange(PassGenStandardTabController::Field::Length, QStringLiteral("12a"));
    EXPECT_EQ(tab.state().lengthField, QStringLiteral("12"));
    tab.onPassLengthStepper(+1);
    EXPECT_EQ(tab.state().lengthField, QStringLiteral("13"));
    tab.state().lengthField = QStringLiteral("255");
    tab.onPassLengthStepper(+1);
    EXPECT_EQ(tab.state().lengthField, QStringLiteral("255"));
}

TEST_F(StandardTabTest, SegmentsClearToggleAndCopy) {
    tab.onPassSegment(2);
    EXPECT_TRUE(copied.isEmpty());
    tab.mouseMoved(1);
    tab.onPassSegment(2);
    EXPECT_EQ(copied, QStringList{tab.state().generated});
    tab.onPassSegment(1);
    EXPECT_EQ(tab.state().toggleLabel, QStringLiteral("<hide>"));
    tab.onPassSegment(0);
    EXPECT_TRUE(tab.state().generated.isEmpty());
    EXPECT_TRUE(tab.state().securePasswordField.isEmpty());
    EXPECT_FALSE(tab.state().copyEnabled);
    EXPECT_EQ(tab.movementCounter(), 1); // the counter is not reset
    tab.mouseMoved(1);                   // 2nd: adds nothing
    EXPECT_TRUE(tab.state().generated.isEmpty());
}

TEST(PasswordGeneratorViewControllerTest, OkHandsTheShownTabsPasswordToTheTarget) {
    testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    SystemRandomSource random;
    QStringList written;
    PasswordGeneratorViewController dialog(presenter, &test::markedKey, random,
                                           [&](const QString& p) {
                                               written << p;
                                               return true;
                                           },
                                           {});
    dialog.onOk(); // empty standard password: only closes
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(dialog.isClosed());

    ASSERT_TRUE(dialog.advancedTab().onGenerate());
    dialog.standardTab().mouseMoved(1);
    dialog.selectTab(PasswordGeneratorViewController::Tab::Advanced);
    dialog.onOk();
    EXPECT_EQ(written, QStringList{dialog.advancedTab().password()});
    dialog.selectTab(PasswordGeneratorViewController::Tab::Standard);
    dialog.onOk();
    EXPECT_EQ(written.last(), dialog.standardTab().password());
}

} // namespace
} // namespace keskor
