// The settings dialog driven offscreen: typed times are stored clamped, a stepper nudges its
// field, and an entry the controller refuses keeps the dialog open with nothing stored.

#include "ui/SettingsDialog.h"

#include "tests/ui/UiFixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace keskor;

namespace {

class SettingsDialogTest : public test::UiFixture {
protected:
    SettingsDialog dialog{ctx()};

    void retype(const char* field, const QString& text) {
        auto* edit = child<QLineEdit>(dialog, field);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    std::optional<qint64> stored(const char* key) const {
        return defaults.integerValue(QLatin1String(key));
    }
};

TEST_F(SettingsDialogTest, TypedTimesAreStoredClampedOnceEveryEntryIsAccepted) {
    dialog.show();
    retype("clipboardClearTimeField", QStringLiteral("5"));
    retype("autoLockTimeField", QStringLiteral("0"));
    retype("backupCountField", QStringLiteral("7"));
    QTest::mouseClick(child<QToolButton>(dialog, "backupCountStepperUp"), Qt::LeftButton);
    EXPECT_EQ(child<QLineEdit>(dialog, "backupCountField")->text(), QStringLiteral("8"));
    retype("portField", QStringLiteral("70000"));
    screenshot(dialog, QStringLiteral("SettingsDialog"));

    presenter.answerAlert(0);
    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible()) << "a port beyond 65535 is refused";
    EXPECT_FALSE(stored("setting_clipboard_clear_time").has_value()) << "nothing stored";

    retype("portField", QStringLiteral("25110"));
    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(stored("setting_clipboard_clear_time"), 10);
    EXPECT_EQ(stored("setting_auto_lock_time"), 1);
    EXPECT_EQ(stored("setting_backup_count"), 8);
    EXPECT_EQ(stored("setting_addon_websocket_port"), 25110);
}

} // namespace
