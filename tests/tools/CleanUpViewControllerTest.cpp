#include "tools/CleanUpViewController.h"

#include "core/shared/AccessRights.h"
#include "core/shared/DateTimeHelper.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/ItemTrees.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::ScriptedPresenter;

const QString kConfirm = QStringLiteral(
    "alert warning dialog_confirm/want_to_delete_selected_items [dialog_yes|dialog_no]");

QString marked(const QString& key) {
    return u'<' + key + u'>';
}

Attachment attachment(qsizetype bytes) {
    Attachment a;
    a.fileName = QStringLiteral("scan.pdf");
    a.data = QByteArray(bytes, 'p');
    return a;
}

class CleanUpViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // root: big, F{ icon, small }, none
        big = entry("big", 20 * 1024);
        icon = entry("icon", 0);
        icon->icon.custom = true;
        icon->icon.index = 12;
        icon->icon.image = QByteArray("png");
        small = entry("small", 100);
        none = entry("none", 0);
        test::addAll(file, {big, test::folder("F", {icon, small}), none});
    }

    std::shared_ptr<Info2Item> entry(const char* name, qsizetype bytes) {
        auto e = test::entry(QString::fromLatin1(name));
        e->lastAccessed = DateTimeHelper::Now();
        e->expiryDate = e->lastAccessed + 100;
        if (bytes > 0) {
            e->mutableAttachments() = {attachment(bytes)};
        }
        return e;
    }

    CleanUpCriteria bySize(const QString& field) {
        CleanUpCriteria c;
        c.withAttachmentBiggerCheck = true;
        c.attachmentSizeField = field;
        return c;
    }

    PassFile file;
    PassFile* open = &file;
    std::shared_ptr<Info2Item> big, icon, small, none;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    int saves = 0;
    CleanUpViewController controller{presenter, marked, [this] { return open; },
                                     [this] { ++saves; }};
};

TEST_F(CleanUpViewControllerTest, OptionsFollowTheControls) {
    CleanUpCriteria c;
    CleanUpSearchOptions o = CleanUpViewController::buildOptions(c);
    EXPECT_FALSE(o.expiresBefore || o.withAttachmentBigger || o.notUsedAfter);
    EXPECT_EQ(o.searchOperator, SearchOperator::OR);

    c.showExpiredBeforeCheck = true;
    c.expireBeforeDatepicker = QDateTime(QDate(2025, 1, 2), QTime(3, 4));
    c.notUsedAfterCheck = true;
    c.notUsedAfterDatePicker = QDateTime(QDate(2023, 5, 6), QTime(7, 8));
    c.neverUsedCheck = c.withHistoryCheck = c.withCustomIconCheck = true;
    c.radioOR = false;
    o = CleanUpViewController::buildOptions(c);
    EXPECT_EQ(o.expiresBefore, c.expireBeforeDatepicker);
    EXPECT_EQ(o.notUsedAfter, c.notUsedAfterDatePicker);
    EXPECT_TRUE(o.neverUsedEntries && o.withHistory && o.withCustomIcons);
    EXPECT_EQ(o.searchOperator, SearchOperator::AND);
}

TEST_F(CleanUpViewControllerTest, AttachmentFieldIsReadAsDecimalWithTenAsFallback) {
    EXPECT_EQ(CleanUpViewController::buildOptions(bySize("25")).withAttachmentBigger, 25);
    EXPECT_EQ(CleanUpViewController::buildOptions(bySize("0")).withAttachmentBigger, 0);
    EXPECT_EQ(CleanUpViewController::buildOptions(bySize("abc")).withAttachmentBigger, 10);
    EXPECT_EQ(CleanUpViewController::buildOptions(bySize("")).withAttachmentBigger, 10);
    EXPECT_EQ(CleanUpViewController::buildOptions(bySize("0x20")).withAttachmentBigger, 10);
}

TEST_F(CleanUpViewControllerTest, LabelCountsResultsOfAllVisitedItems) {
    const auto& state = controller.search(bySize("1"));
    EXPECT_EQ(state.resultArray.size(), 2u);
    EXPECT_EQ(state.marked, (QList<bool>{true, true}));
    EXPECT_EQ(state.descriptionLabel, "<matched_passwords> 2 <of_total> 5");
}

TEST_F(CleanUpViewControllerTest, OrAndRadioSwitchesAndSearchesAgain) {
    controller.search(CleanUpCriteria{});
    EXPECT_TRUE(controller.state().resultArray.empty());
    controller.onORANDRadio(false);
    EXPECT_EQ(controller.state().resultArray.size(), 4u);
    EXPECT_FALSE(controller.criteria().radioOR);
}

TEST_F(CleanUpViewControllerTest, WithoutDatabaseThereIsNothing) {
    open = nullptr;
    controller.onORANDRadio(false);
    EXPECT_TRUE(controller.state().resultArray.empty());
    EXPECT_TRUE(controller.state().descriptionLabel.isEmpty());
    controller.onDeleteEntry();
    EXPECT_TRUE(presenter.calls().isEmpty());
    EXPECT_EQ(saves, 0);
}

TEST_F(CleanUpViewControllerTest, DeleteAttachmentActsOnMarkedRowsThenSavesAndSearchesAgain) {
    controller.search(bySize("1"));
    controller.setMarked(1, false); // small keeps its attachment
    presenter.answerAlert(0);
    controller.onDeleteAttachment();

    EXPECT_EQ(presenter.transcript(), QStringList{kConfirm});
    EXPECT_TRUE(big->attachments().isEmpty());
    EXPECT_EQ(small->attachments().size(), 1);
    EXPECT_TRUE(file.isModified());
    EXPECT_EQ(saves, 1);
    ASSERT_EQ(controller.state().resultArray.size(), 1u);
    EXPECT_EQ(controller.state().resultArray[0], small);
    EXPECT_EQ(controller.state().marked, QList<bool>{true});
}

TEST_F(CleanUpViewControllerTest, ResetIconClearsTheFlagAndTheIndex) {
    CleanUpCriteria c;
    c.withCustomIconCheck = true;
    controller.search(c);
    presenter.answerAlert(0);
    controller.onResetIcon();
    EXPECT_FALSE(icon->icon.custom);
    EXPECT_EQ(icon->icon.index, 0);
    EXPECT_TRUE(icon->icon.image.isEmpty());
    EXPECT_TRUE(controller.state().resultArray.empty());
    EXPECT_EQ(saves, 1);
}

TEST_F(CleanUpViewControllerTest, DeleteEntryRemovesItFromItsFolder) {
    CleanUpCriteria c;
    c.radioOR = false;
    controller.search(c);
    ASSERT_EQ(controller.state().resultArray.size(), 4u);
    for (int row : {0, 3}) {
        controller.setMarked(row, false); // big, none
    }
    presenter.answerAlert(0);
    controller.onDeleteEntry();
    EXPECT_EQ(file.itemCount(), 3u);
    EXPECT_EQ(file.findItem(icon->fingerprint()), nullptr);
    EXPECT_EQ(file.findItem(small->fingerprint()), nullptr);
    EXPECT_NE(file.findItem(big->fingerprint()), nullptr);
    EXPECT_EQ(controller.state().descriptionLabel, "<matched_passwords> 2 <of_total> 3");
}

TEST_F(CleanUpViewControllerTest, AnsweringNoOrMarkingNoRowChangesNothing) {
    controller.search(bySize("1"));
    presenter.answerAlert(1);
    controller.onDeleteAttachment();
    EXPECT_EQ(big->attachments().size(), 1);
    EXPECT_EQ(saves, 0);

    controller.setMarked(0, false);
    controller.setMarked(1, false);
    controller.setMarked(7, true); // no such row
    presenter.answerAlert(0);
    controller.onDeleteEntry();
    EXPECT_EQ(file.itemCount(), 5u);
    EXPECT_FALSE(file.isModified());
}

TEST_F(CleanUpViewControllerTest, EnterpriseEntryWithoutDeleteRightStopsTheWholeAction) {
    file.krServer = QStringLiteral("keskor.example");
    file.currentUserId = QStringLiteral("u1");
    AccessPermission readOnly;
    readOnly.userId = QStringLiteral("u1");
    readOnly.rights = AccessRights::PWD_ACCESS_READ | AccessRights::PWD_ACCESS_MODIFY;
    small->mutableAccessPermissions() = {readOnly};
    controller.search(bySize("1"));

    presenter.answerAlert(0);
    controller.onDeleteEntry();
    EXPECT_EQ(presenter.transcript(),
              QStringList{"alert warning dialog_error/error_no_rights_to_edit []"});
    EXPECT_EQ(file.itemCount(), 5u);
    EXPECT_EQ(saves, 0);

    // Modifying is granted, so the attachments may go.
    presenter.clearCalls();
    presenter.answerAlert(0);
    controller.onDeleteAttachment();
    EXPECT_EQ(presenter.transcript(), QStringList{kConfirm});
    EXPECT_TRUE(small->attachments().isEmpty());
}

} // namespace
} // namespace keskor
