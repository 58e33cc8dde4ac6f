// The new-database dialog driven as a user does: typed answers create the database file in the
// chosen folder and open it; a refused answer is reported and keeps the dialog open.

#include "ui/CreateDatabaseDialog.h"

#include "tests/support/QtPrinters.h"
#include "tests/ui/UiFixture.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace keskor;

namespace {

class CreateDatabaseDialogTest : public test::UiFixture {
protected:
    CreateDatabaseDialog dialog{ctx()};

    void fill(const QString& password, const QString& confirmation) {
        dialog.show();
        child<QLineEdit>(dialog, "folderField")->setText(dir.path());
        QTest::keyClicks(child<QLineEdit>(dialog, "nameField"), QStringLiteral("family"));
        QTest::keyClicks(child<QLineEdit>(dialog, "passwordField"), password);
        QTest::keyClicks(child<QLineEdit>(dialog, "confirmationField"), confirmation);
        QTest::keyClicks(child<QLineEdit>(dialog, "hintField"), QStringLiteral("the horse"));
    }
};

TEST_F(CreateDatabaseDialogTest, TypedAnswersCreateTheDatabaseAndOpenIt) {
    fill(QStringLiteral("Correct-Horse-Battery-9"), QStringLiteral("Correct-Horse-Battery-9"));
    screenshot(dialog, QStringLiteral("CreateDatabaseDialog"));
    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("family.pswe"))));
    ASSERT_TRUE(session().isDatabaseOpen());
    EXPECT_EQ(session().currentPassFile->hint.value_or(QString()), QStringLiteral("the horse"));
}

TEST_F(CreateDatabaseDialogTest, AMismatchingConfirmationIsRefusedAndTheDialogStaysOpen) {
    fill(QStringLiteral("Correct-Horse-Battery-9"), QStringLiteral("Correct-Horse-Battery-8"));
    presenter.answerAlert(0);
    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);

    ASSERT_FALSE(presenter.transcript().isEmpty());
    EXPECT_EQ(presenter.transcript().last(),
              QStringLiteral("alert warning dialog_warning/error_password_mismatch []"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(session().isDatabaseOpen());
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("family.pswe"))));
}

} // namespace
