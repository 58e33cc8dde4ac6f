// The generator dialogs driven offscreen: the advanced tab's password reaches the target on OK,
// mouse movements over the standard tab make characters (and without a target OK copies them),
// and the key generator saves a key file whose key OK hands to its delegate.

#include "core/shared/KeyHelper.h"
#include "tests/support/QtPrinters.h"
#include "tests/ui/UiFixture.h"
#include "ui/KeyGeneratorDialog.h"
#include "ui/PasswordGeneratorDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace keskor;

namespace {

class GeneratorDialogsTest : public test::UiFixture {
protected:
    /// A mouse movement `fromBottom` pixels above the bottom edge of `widget`.
    static void moveOver(QWidget* widget, int fromBottom) {
        const QPointF local(widget->width() / 2.0, widget->height() - fromBottom);
        QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
};

TEST_F(GeneratorDialogsTest, TheAdvancedTabsPasswordGoesToTheTargetOnOk) {
    QString target;
    PasswordGeneratorDialog dialog(ctx(), [&target](const QString& password) {
        target = password;
        return true;
    });
    dialog.show();
    child<QTabWidget>(dialog, "tabs")->setCurrentIndex(1);
    QTest::mouseClick(child<QPushButton>(dialog, "generateButton"), Qt::LeftButton);
    const QString generated = child<QLineEdit>(dialog, "advancedPasswordField")->text();
    EXPECT_EQ(generated.size(), 24);
    screenshot(dialog, QStringLiteral("PasswordGeneratorDialog"));

    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(target, generated);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(GeneratorDialogsTest, MouseMovesOverTheStandardTabMakeCharactersCopiedWithoutATarget) {
    PasswordGeneratorDialog dialog(ctx(), {});
    dialog.resize(520, 640);
    dialog.show();
    QWidget* tab = child<QWidget>(dialog, "standardTab");
    for (int i = 0; i < 11; ++i) { // movements 1, 6 and 11 each add a character
        moveOver(tab, 5);
    }
    const QString generated = child<QLineEdit>(dialog, "standardPasswordField")->text();
    EXPECT_EQ(generated.size(), 3);
    // Far above the window's bottom the movements are not counted (else the 16th would add).
    for (int i = 0; i < 5; ++i) {
        moveOver(tab, tab->height());
    }
    EXPECT_EQ(child<QLineEdit>(dialog, "standardPasswordField")->text(), generated);
    screenshot(dialog, QStringLiteral("PasswordGeneratorDialogStandard"));

    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(clipboard.text(), generated);
    EXPECT_TRUE(clipboard.isSecret());
}

TEST_F(GeneratorDialogsTest, TheKeyGeneratorSavesTheKeyFileAndHandsItsKeyOver) {
    std::optional<Key256> handed;
    QString handedPath;
    KeyGeneratorDialog dialog(ctx(), [&](const Key256& key, const QString& path) {
        handed = key;
        handedPath = path;
    });
    dialog.show();
    auto* ok = child<QPushButton>(dialog, "okButton");
    EXPECT_FALSE(ok->isEnabled()) << "nothing to hand over before the key is saved";
    for (int i = 0; i < 252; ++i) {
        moveOver(&dialog, 5);
    }
    EXPECT_FALSE(child<QPlainTextEdit>(dialog, "keyField")->toPlainText().isEmpty());

    presenter.answerFile(dir.file(QStringLiteral("family")));
    QTest::mouseClick(child<QPushButton>(dialog, "saveButton"), Qt::LeftButton);
    const QString saved = dir.file(QStringLiteral("family.krk"));
    EXPECT_EQ(child<QLineEdit>(dialog, "fileField")->text(), saved);
    screenshot(dialog, QStringLiteral("KeyGeneratorDialog"));
    QTest::mouseClick(ok, Qt::LeftButton);

    ASSERT_TRUE(handed.has_value());
    EXPECT_EQ(handedPath, saved);
    EXPECT_TRUE(*handed == KeyHelper::readExternalKey(saved));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

} // namespace
