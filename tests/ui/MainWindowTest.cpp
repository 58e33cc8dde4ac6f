// The main window driven as a user drives it, offscreen: entries of three kinds added through
// the editor, the quick search, copying a password that is cleared again, the idle lock and the
// unlock; and the editor keeping values far beyond a line edit's usual limit.

#include "ui/MainWindow.h"

#include "core/EntryType.h"
#include "tests/support/ItemTrees.h"
#include "tests/ui/UiFixture.h"
#include "ui/EntryEditorDialog.h"
#include "ui/EntryListModel.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>

using namespace keskor;

namespace {

class MainWindowTest : public keskor::test::UiFixture {
protected:
    std::unique_ptr<MainWindow> window;

    void SetUp() override {
        window = std::make_unique<MainWindow>(ctx());
        desktop.setSelectedFolder([this] { return window->selectedFolder(); });
        openDemoDatabase();
        window->showDatabaseView();
        window->show();
        presenter.clearCalls();
    }

    /// Adds an entry through the editor as a user types it.
    void addEntry(EntryType type, const QString& title, const QString& user,
                  const QString& secret) {
        EntryEditorDialog editor(ctx(), int(type), *window->selectedFolder());
        QTest::keyClicks(editor.findChild<QLineEdit*>(QStringLiteral("titleField")), title);
        if (!user.isEmpty()) {
            QTest::keyClicks(editor.findChild<QLineEdit*>(QStringLiteral("userNameField")), user);
        }
        if (!secret.isEmpty()) {
            QTest::keyClicks(editor.findChild<QLineEdit*>(QStringLiteral("passwordField")), secret);
        }
        if (type == EntryType::CreditCard) {
            auto* custom = editor.findChild<QTableWidget*>(QStringLiteral("customFieldsTable"));
            custom->item(0, 1)->setText(QStringLiteral("4000 1234 5678 9010"));
        }
        if (type == EntryType::Identity) {
            screenshot(editor, QStringLiteral("EntryEditorDialog"));
        }
        editor.accept();
        ASSERT_EQ(editor.result(), QDialog::Accepted)
            << presenter.transcript().join('\n').toStdString();
    }

    QStringList listedTitles() {
        QStringList titles;
        for (const auto& item : window->entryModel().items()) {
            titles.append(item->description());
        }
        return titles;
    }
};

TEST_F(MainWindowTest, AddSearchCopyLockAndUnlockAsAUserDoes) {
    addEntry(EntryType::Password, QStringLiteral("Shop"), QStringLiteral("ann"),
             QStringLiteral("s3cret-Shop"));
    addEntry(EntryType::CreditCard, QStringLiteral("Travel card"), QStringLiteral("Ann Example"),
             QStringLiteral("4321"));
    addEntry(EntryType::Identity, QStringLiteral("Passport"), QStringLiteral("Ann Example"), {});
    EXPECT_TRUE(listedTitles().contains(QStringLiteral("Travel card")));
    const auto card = test::find(session().currentPassFile->root(), QStringLiteral("Travel card"));
    ASSERT_TRUE(card);
    EXPECT_EQ(card->type, int(EntryType::CreditCard));
    ASSERT_TRUE(card->customField(QStringLiteral("Card number")));
    EXPECT_EQ(card->customField(QStringLiteral("Card number"))->value,
              QStringLiteral("4000 1234 5678 9010"));
    // The edits were saved: the file on disk opens with them.
    EXPECT_FALSE(session().currentPassFile->isModified());

    QTest::keyClicks(&window->searchField(), QStringLiteral("shop"));
    EXPECT_EQ(listedTitles(), QStringList{QStringLiteral("Shop")});
    screenshot(*window, QStringLiteral("MainWindow"));

    window->entryView().setCurrentIndex(window->entryModel().index(0, 0));
    window->findChild<QAction*>(QStringLiteral("copyPasswordAction"))->trigger();
    EXPECT_EQ(clipboard.text(), QStringLiteral("s3cret-Shop"));
    EXPECT_TRUE(clipboard.isSecret());
    // Access rights exist only on a server's database.
    auto* entryMenu = window->findChild<QMenu*>(QStringLiteral("entryContextMenu"));
    auto* grant = window->findChild<QAction*>(QStringLiteral("grantAccessAction"));
    Q_EMIT entryMenu->aboutToShow();
    EXPECT_FALSE(grant->isEnabled());
    session().currentPassFile->krServer = QStringLiteral("127.0.0.1");
    Q_EMIT entryMenu->aboutToShow();
    EXPECT_TRUE(grant->isEnabled());
    session().currentPassFile->krServer.reset();
    clock.advance(61'000);
    EXPECT_TRUE(clipboard.text().isEmpty());

    desktop.app().mainManager().settingManager.setAutoLockTime(1);
    desktop.lock().startMonitoring();
    clock.advance(59'000);
    EXPECT_FALSE(session().isLocked);
    clock.advance(2'000);
    EXPECT_TRUE(session().isLocked);
    EXPECT_TRUE(statusItem.isLocked());
    EXPECT_TRUE(presenter.transcript().contains(QStringLiteral("hideWindows")));

    presenter.answerCredentials({QStringLiteral("wrong"), std::nullopt});
    presenter.answerCredentials({kPassword, std::nullopt});
    EXPECT_TRUE(desktop.lock().unlock());
    EXPECT_FALSE(session().isLocked);
    EXPECT_FALSE(statusItem.isLocked());
}

TEST_F(MainWindowTest, TheEditorKeepsHugeAndRightToLeftValuesWhole) {
    const QString huge(1'200'000, QLatin1Char('x'));
    const QString rtl = QStringLiteral("שלום e\u0301\u0301 مرحبا");
    {
        EntryEditorDialog editor(ctx(), int(EntryType::Password), *window->selectedFolder());
        editor.findChild<QLineEdit*>(QStringLiteral("titleField"))->setText(rtl);
        editor.findChild<QLineEdit*>(QStringLiteral("passwordField"))->setText(huge);
        editor.findChild<QPlainTextEdit*>(QStringLiteral("commentField"))->setPlainText(huge);
        editor.accept();
        ASSERT_EQ(editor.result(), QDialog::Accepted);
    }
    const auto stored = test::find(session().currentPassFile->root(), rtl);
    ASSERT_TRUE(stored) << "the title is kept as typed";
    EXPECT_EQ(stored->password()->size(), huge.size());
    EXPECT_EQ(stored->comment()->size(), huge.size());

    // Editing it again without a change leaves it as it was, with no history version.
    EntryEditorDialog again(ctx(), stored);
    again.accept();
    EXPECT_TRUE(stored->history().empty());
    EXPECT_EQ(stored->password()->size(), huge.size());
}

} // namespace
