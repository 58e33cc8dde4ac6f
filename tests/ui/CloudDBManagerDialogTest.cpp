// The cloud file browser driven as a user drives it, offscreen, over a scripted store.

#include "ui/CloudDBManagerDialog.h"

#include "testing/RecordingCloudDelegate.h"
#include "testing/RecordingRemoteStorage.h"
#include "tests/ui/UiFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

using namespace keskor;

namespace {

class CloudDBManagerDialogTest : public keskor::test::UiFixture {
protected:
    keskor::testing::RecordingRemoteStorage storage;
    keskor::testing::RecordingCloudDelegate delegate;
};

TEST_F(CloudDBManagerDialogTest, DoubleClickingAFileOpensItAndCloses) {
    auto family = std::make_shared<RemoteFileInfo>(QStringLiteral("/Keskor/family.pswd"));
    family->size = 48 * 1024;
    family->modified = QDateTime(QDate(2026, 3, 1), QTime(9, 30));
    auto work = std::make_shared<RemoteFileInfo>(QStringLiteral("/Keskor/work.pswe"));
    work->size = 2 * 1024 * 1024 + 1;
    storage.files = {family, work};

    CloudDBManagerDialog dialog(ctx(), storage, Location::dropbox, delegate);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(child<QLabel>(dialog, "titleLabel")->text(), QStringLiteral("Dropbox"));
    auto* table = child<QTableView>(dialog, "dblistTableView");
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(table->model()->index(1, 0).data().toString(), QStringLiteral("work.pswe"));
    EXPECT_EQ(table->model()->index(1, 2).data().toString(), QStringLiteral("2.00 MB"));
    EXPECT_FALSE(child<QPushButton>(dialog, "signInButton")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(dialog, "signOutButton")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(dialog, "openButton")->isEnabled());

    const QRect second = table->visualRect(table->model()->index(1, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(child<QLineEdit>(dialog, "fileNameField")->text(), QStringLiteral("work.pswe"));
    EXPECT_TRUE(child<QPushButton>(dialog, "openButton")->isEnabled());
    screenshot(dialog, QStringLiteral("CloudDBManagerDialog"));

    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, second.center());
    ASSERT_EQ(delegate.opened.size(), 1u);
    EXPECT_EQ(delegate.opened[0].first, work);
    EXPECT_EQ(delegate.opened[0].second, Location::dropbox);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

} // namespace
