#include "tools/ReplaceViewController.h"

#include "core/shared/AccessRights.h"
#include "platform/NotificationNames.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/ItemTrees.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::ScriptedPresenter;

QString marked(const QString& key) {
    return u'<' + key + u'>';
}

class ReplaceViewControllerTest : public ::testing::Test {
protected:
    // root: mail, Work{ vpn, Old{ legacy } }, bank
    void SetUp() override {
        mail = entry("Mail", "alice", "https://mail.example");
        vpn = entry("VPN", "Alice.W", "https://vpn.example");
        legacy = entry("Legacy", "alice", "");
        bank = entry("Bank", "bob", "https://bank.example");
        work = test::folder("Work", {vpn, test::folder("Old", {legacy})});
        test::addAll(file, {mail, work, bank});
    }

    static std::shared_ptr<Info2Item> entry(const char* name, const char* user, const char* url) {
        auto e = test::entry(QString::fromLatin1(name), QString::fromLatin1(user));
        e->setUrl(QString::fromLatin1(url));
        return e;
    }

    ReplaceControls find(const QString& query, const QString& replacement = {}) {
        ReplaceControls c;
        c.searchField = query;
        c.replaceField = replacement;
        return c;
    }

    PassFile file;
    PassFile* open = &file;
    std::shared_ptr<Info2Item> mail, work, vpn, legacy, bank;
    NotificationCenter notifications;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    int saves = 0;
    int refreshes = 0;
    ReplaceViewController controller{presenter,
                                     marked,
                                     [this] { return open; },
                                     [this] { ++saves; },
                                     [this] { ++refreshes; },
                                     &notifications};
};

// The state of a fresh dialog, which "new search" restores.
void expectNewSearch(const ReplaceViewState& s) {
    EXPECT_FALSE(s.findButtonEnabled || s.replaceButtonEnabled);
    EXPECT_TRUE(s.resultArray.empty());
    EXPECT_TRUE(s.controls.searchField.isEmpty() && s.controls.replaceField.isEmpty());
    EXPECT_TRUE(s.controls.folderFingerprint.isEmpty());
    const ReplaceControls& c = s.controls;
    EXPECT_TRUE(c.includeSubFolderCheck && c.matchCaseCheck && c.descriptionCheck &&
                c.usernameCheck && c.passwordCheck && c.customFieldCheck && c.webformCheck);
    EXPECT_FALSE(c.urlCheck || c.commentsCheck);
    EXPECT_TRUE(s.status1Label.isEmpty() && s.status2Label.isEmpty());
}

TEST_F(ReplaceViewControllerTest, StartsAsANewSearchAndNewSearchResetsEverything) {
    expectNewSearch(controller.state());
    ReplaceControls c = find("alice", "carol");
    c.urlCheck = true;
    c.matchCaseCheck = false;
    c.folderFingerprint = work->fingerprint();
    controller.onFind(c);
    controller.onNewSearch();
    expectNewSearch(controller.state());
}

TEST_F(ReplaceViewControllerTest, FindListsMarkedResultsWithTheirStatusTexts) {
    controller.onFind(find("alice"));
    const ReplaceViewState& s = controller.state();
    ASSERT_EQ(s.resultArray.size(), 2u); // matchCase is on: "Alice.W" is not found
    EXPECT_EQ(s.resultArray[0], mail);
    EXPECT_EQ(s.resultArray[1], legacy);
    EXPECT_EQ(s.marked, (QList<bool>{true, true}));
    EXPECT_EQ(s.status1Label, "<find_replace_checked_items> 2");
    EXPECT_EQ(s.status2Label, "2 <advanced_search_password_found>");
    EXPECT_TRUE(s.findButtonEnabled);
    EXPECT_FALSE(s.replaceButtonEnabled); // no replacement text
}

TEST_F(ReplaceViewControllerTest, EmptySearchTextDoesNothingAndNoResultKeepsReplaceDisabled) {
    controller.onFind(find("alice"));
    controller.onFind(find(""));
    EXPECT_EQ(controller.state().resultArray.size(), 2u);
    EXPECT_EQ(controller.state().controls.searchField, "alice");
    controller.onFind(find("carol", "dave"));
    EXPECT_EQ(controller.state().status2Label, "<advanced_search_no_result>");
    EXPECT_EQ(controller.state().status1Label, "<find_replace_checked_items> 0");
    EXPECT_FALSE(controller.state().replaceButtonEnabled);
}

// The replace button needs a search text, a replacement text and at least one result.
struct ButtonCase {
    const char* name;
    const char* search;
    const char* replacement;
    bool findEnabled;
    bool replaceEnabled;
};

class ReplaceButtons : public ReplaceViewControllerTest,
                       public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(ReplaceButtons, FollowTheTextFields) {
    controller.onFind(find("alice"));
    const ButtonCase& p = GetParam();
    controller.controlTextDidChange(find(p.search, p.replacement));
    EXPECT_EQ(controller.state().findButtonEnabled, p.findEnabled);
    EXPECT_EQ(controller.state().replaceButtonEnabled, p.replaceEnabled);
}

INSTANTIATE_TEST_SUITE_P(TextFields, ReplaceButtons,
                         ::testing::Values(ButtonCase{"BothFilled", "alice", "eve", true, true},
                                           ButtonCase{"NoReplacement", "alice", "", true, false},
                                           ButtonCase{"NoSearch", "", "eve", false, false},
                                           ButtonCase{"NeitherFilled", "", "", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplaceViewControllerTest, CheckingRowsUpdatesTheFirstStatus) {
    controller.onFind(find("alice"));
    controller.onTableCellCheck(1, false);
    EXPECT_EQ(controller.state().status1Label, "<find_replace_checked_items> 1");
    EXPECT_EQ(controller.markedCount(), 1);
    controller.onTableCellCheck(5, false); // no such row
    EXPECT_EQ(controller.markedCount(), 1);
}

TEST_F(ReplaceViewControllerTest, ReplaceAsksWithTheComposedTextAndChangesMarkedRows) {
    const ReplaceControls c = find("alice", "carol");
    controller.onFind(c);
    controller.onTableCellCheck(1, false); // legacy stays
    presenter.answerAlert(0);
    controller.onReplace(c);

    ASSERT_EQ(presenter.calls().size(), 1);
    const auto& call = presenter.calls()[0];
    EXPECT_EQ(call.style, AlertStyle::critical);
    EXPECT_EQ(call.message, UiText::key("find_replace_dialog"));
    EXPECT_EQ(call.informative,
              UiText::plain("<find_replace_message1> \"alice\" <find_replace_message2> 1 "
                            "<find_replace_message3>\n\n<find_replace_message4> \"carol\"?"));
    EXPECT_EQ(call.buttons,
              (QList<UiText>{UiText::key("dialog_ok"), UiText::key("dialog_cancel")}));

    EXPECT_EQ(mail->userName(), QString("carol"));
    EXPECT_EQ(legacy->userName(), QString("alice"));
    EXPECT_TRUE(file.isModified());
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(controller.state().replaceButtonEnabled);
    // The list stays as found until the next find.
    EXPECT_EQ(controller.state().resultArray.size(), 2u);

    controller.controlTextDidChange(c);
    EXPECT_TRUE(controller.state().replaceButtonEnabled);
}

TEST_F(ReplaceViewControllerTest, CancelChangesNothing) {
    const ReplaceControls c = find("alice", "carol");
    controller.onFind(c);
    presenter.answerAlert(1);
    controller.onReplace(c);
    EXPECT_EQ(mail->userName(), QString("alice"));
    EXPECT_FALSE(file.isModified());
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(refreshes, 0);
}

TEST_F(ReplaceViewControllerTest, FolderChoiceAndSubFolderFlagLimitTheSearch) {
    const QList<FolderSelectMenuItem> folders = controller.folderPopup();
    ASSERT_EQ(folders.size(), 3);
    EXPECT_EQ(folders[0].infoItem, &file.root());
    EXPECT_EQ(folders[1].title, "Work");
    EXPECT_EQ(folders[2].title, "Old");
    EXPECT_EQ(folders[2].depth, 2);

    ReplaceControls c = find("alice");
    c.matchCaseCheck = false;
    c.folderFingerprint = folders[1].fingerprint;
    controller.onFind(c);
    EXPECT_EQ(controller.state().resultArray.size(), 2u); // vpn, legacy
    c.includeSubFolderCheck = false;
    controller.onFind(c);
    ASSERT_EQ(controller.state().resultArray.size(), 1u);
    EXPECT_EQ(controller.state().resultArray[0], vpn);

    file.root().removeSubItem(work.get());
    controller.onFind(c);
    EXPECT_TRUE(controller.state().resultArray.empty());
}

TEST_F(ReplaceViewControllerTest, EntryChangeNotificationFindsAgain) {
    controller.onFind(find("alice"));
    bank->setUserName(QStringLiteral("alice"));
    notifications.post(NotificationNames::EntryDidChanged);
    EXPECT_EQ(controller.state().resultArray.size(), 3u);
    EXPECT_EQ(controller.state().status2Label, "3 <advanced_search_password_found>");
}

TEST_F(ReplaceViewControllerTest, EntryWithoutModifyRightStopsTheReplacement) {
    file.krServer = QStringLiteral("keskor.example");
    file.currentUserId = QStringLiteral("u1");
    AccessPermission readOnly;
    readOnly.userId = QStringLiteral("u1");
    readOnly.rights = AccessRights::PWD_ACCESS_READ;
    legacy->mutableAccessPermissions() = {readOnly};
    const ReplaceControls c = find("alice", "carol");
    controller.onFind(c);
    presenter.answerAlert(0);
    controller.onReplace(c);
    EXPECT_EQ(presenter.transcript(),
              QStringList{"alert warning dialog_error/error_no_rights_to_edit []"});
    EXPECT_EQ(mail->userName(), QString("alice"));
    EXPECT_EQ(saves, 0);
}

} // namespace
} // namespace keskor
