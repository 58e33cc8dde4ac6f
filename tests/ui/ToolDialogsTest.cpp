// The entry tools' dialogs driven as a user drives them, offscreen, over a small real database:
// the XML export, the clean-up, find and replace, the password analysis and the backups.

#include "core/AppDelegate.h"
#include "core/BackupStorage.h"
#include "core/DatabaseInfoHelper.h"
#include "core/FileFunctions.h"
#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "core/SessionManager.h"
#include "core/shared/DateTimeHelper.h"
#include "testing/RangeServer.h"
#include "testing/SampleDatabase.h"
#include "tests/support/ItemTrees.h"
#include "tests/ui/UiFixture.h"
#include "tools/PwnedPasswordsClient.h"
#include "ui/AnalyzeDialog.h"
#include "ui/AnalyzeTableModel.h"
#include "ui/BackupManagerDialog.h"
#include "ui/CleanUpDialog.h"
#include "ui/ReplaceDialog.h"
#include "ui/UiContext.h"
#include "ui/XmlExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QXmlStreamReader>

using namespace keskor;

namespace {

class ToolDialogsTest : public keskor::test::UiFixture {
protected:
    DatabaseInfo info;

    void SetUp() override {
        PassFile file = PassFile::createNewFile(PassFile::FileType::Zip, QStringLiteral("tools"),
                                                PassFile::AuthenticationType::Password, false);
        test::addAll(file, {test::folder(QStringLiteral("Web"),
                                         {entry("Shop", "anna", "banana-Tree-77!x", true),
                                          entry("Forum", "bob", "1234", false)}),
                            entry("Mail", "carla", "Zq8#rT2!mW9$kP4&vX7", true)});
        info = openDatabase(std::move(file), QStringLiteral("tools.pswd"));
        presenter.clearCalls();
    }

    static std::shared_ptr<Info2Item> entry(const char* title, const char* user, const char* secret,
                                            bool used) {
        auto item = test::entry(QString::fromUtf8(title), QString::fromUtf8(user),
                                QString::fromUtf8(secret));
        item->lastAccessed = used ? DateTimeHelper::Now() - 1.0 : 0.0;
        return item;
    }

    PassFile& database() { return *session().currentPassFile; }

    std::shared_ptr<Info2Item> find(const QString& title) {
        return test::find(database().root(), title);
    }
};

TEST_F(ToolDialogsTest, ExportWritesAFolderAsAParsableDocument) {
    XmlExportDialog dialog(ctx(), {});
    dialog.show();
    const QString target = dir.file(QStringLiteral("out/web.xml"));
    QDir().mkpath(dir.file(QStringLiteral("out")));
    presenter.answerFile(target);
    QTest::mouseClick(child<QPushButton>(dialog, "chooseButton"), Qt::LeftButton);
    EXPECT_EQ(child<QLineEdit>(dialog, "targetField")->text(), target);
    auto* folders = child<QComboBox>(dialog, "folderPopup");
    folders->setCurrentIndex(folders->findText(QStringLiteral("Web"), Qt::MatchContains));
    screenshot(dialog, QStringLiteral("XmlExportDialog"));
    auto* warning = child<QLabel>(dialog, "unencryptedWarning");
    EXPECT_TRUE(warning->isVisible());
    EXPECT_TRUE(warning->text().contains(QStringLiteral("not encrypted")));
    QTest::mouseClick(child<QPushButton>(dialog, "exportButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted)
        << presenter.transcript().join('\n').toStdString();

    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList descriptions;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QStringLiteral("description")) {
            descriptions.append(xml.readElementText());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(descriptions, (QStringList{QStringLiteral("Shop"), QStringLiteral("Forum")}));

    // The database file itself is never a target: it is refused and left as it was.
    const QString databaseFile = FileFunctions::databaseFile(paths, info);
    const QByteArray before = [&] {
        QFile f(databaseFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    presenter.answerAlert(0);
    XmlExportDialog again(ctx(), {});
    again.show();
    child<QLineEdit>(again, "targetField")->setText(databaseFile);
    QTest::mouseClick(child<QPushButton>(again, "exportButton"), Qt::LeftButton);
    EXPECT_NE(again.result(), QDialog::Accepted);
    EXPECT_TRUE(
        presenter.transcript().join('\n').contains(QStringLiteral("error_export_over_database")))
        << presenter.transcript().join('\n').toStdString();
    QFile f(databaseFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(ToolDialogsTest, CleanUpFindsTheNeverUsedEntryAndDeletesIt) {
    CleanUpDialog dialog(ctx());
    dialog.show();
    auto* table = child<QTableView>(dialog, "resultTable");
    EXPECT_EQ(table->model()->rowCount(), 0);
    // On the box itself: a check box stretched by its layout ignores clicks right of its text.
    auto* neverUsed = child<QCheckBox>(dialog, "neverUsedCheck");
    QTest::mouseClick(neverUsed, Qt::LeftButton, {}, QPoint(8, neverUsed->height() / 2));
    ASSERT_TRUE(neverUsed->isChecked());
    ASSERT_EQ(table->model()->rowCount(), 1);
    EXPECT_EQ(table->model()->index(0, 0).data().toString(), QStringLiteral("Forum"));
    EXPECT_EQ(table->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_TRUE(child<QLabel>(dialog, "descriptionLabel")->text().contains(QStringLiteral("1")));
    screenshot(dialog, QStringLiteral("CleanUpDialog"));

    // Unmarked, the row is left alone even when the action is confirmed.
    table->model()->setData(table->model()->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(table->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    presenter.answerAlert(0);
    QTest::mouseClick(child<QPushButton>(dialog, "deleteEntryButton"), Qt::LeftButton);
    ASSERT_NE(find(QStringLiteral("Forum")), nullptr);

    ASSERT_EQ(table->model()->rowCount(), 1);
    presenter.answerAlert(0);
    QTest::mouseClick(child<QPushButton>(dialog, "deleteEntryButton"), Qt::LeftButton);
    EXPECT_EQ(find(QStringLiteral("Forum")), nullptr);
    EXPECT_NE(find(QStringLiteral("Shop")), nullptr);
    EXPECT_EQ(table->model()->rowCount(), 0);
    EXPECT_TRUE(presenter.isScriptUsedUp());
}

TEST_F(ToolDialogsTest, ReplaceChangesEveryFieldOfTheMarkedEntries) {
    int refreshed = 0;
    ReplaceDialog dialog(ctx(), [&refreshed] { ++refreshed; });
    dialog.show();
    auto* findButton = child<QPushButton>(dialog, "findButton");
    auto* replaceButton = child<QPushButton>(dialog, "replaceButton");
    EXPECT_FALSE(findButton->isEnabled());
    QTest::keyClicks(child<QLineEdit>(dialog, "searchField"), QStringLiteral("a"));
    EXPECT_TRUE(findButton->isEnabled());
    QTest::mouseClick(findButton, Qt::LeftButton);
    auto* table = child<QTableView>(dialog, "resultTable");
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_FALSE(replaceButton->isEnabled()) << "no replacement text yet";
    QTest::keyClicks(child<QLineEdit>(dialog, "replaceField"), QStringLiteral("b"));
    EXPECT_TRUE(replaceButton->isEnabled());
    screenshot(dialog, QStringLiteral("ReplaceDialog"));

    presenter.answerAlert(0);
    QTest::mouseClick(replaceButton, Qt::LeftButton);
    EXPECT_EQ(find(QStringLiteral("Shop"))->userName(), QStringLiteral("bnnb"));
    EXPECT_EQ(find(QStringLiteral("Shop"))->password(), QStringLiteral("bbnbnb-Tree-77!x"));
    EXPECT_EQ(find(QStringLiteral("Mbil"))->userName(), QStringLiteral("cbrlb"));
    EXPECT_EQ(find(QStringLiteral("Forum"))->userName(), QStringLiteral("bob"));
    EXPECT_EQ(refreshed, 1);
    EXPECT_FALSE(replaceButton->isEnabled());
    // The explicit save wrote the change.
    EXPECT_FALSE(database().isModified());
    EXPECT_TRUE(presenter.isScriptUsedUp());
}

TEST_F(ToolDialogsTest, AnalyzeListsTheWeakestFirstAndChecksBreachesInTheBackground) {
    keskor::testing::RangeServer server;
    ASSERT_TRUE(server.listen());
    server.addPassword(QStringLiteral("1234"), 42);
    PwnedPasswordsClient client(ctx().network,
                                PwnedPasswordsClient::Config{.baseUrl = server.baseUrl()});
    UiContext& c = ctx();
    UiContext local{c.app,       c.items, c.presenter, c.localizer,      c.text,
                    c.clipboard, c.clock, c.random,    c.notifications,  c.protection,
                    c.network,   client,  c.lock,      c.selectedFolder, c.dialogParent};
    AnalyzeDialog dialog(local);
    dialog.show();
    auto* table = child<QTableView>(dialog, "resultTable");
    const auto cell = [table](int row, int column) {
        return table->model()->index(row, column).data().toString();
    };
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(cell(0, AnalyzeTableModel::Description), QStringLiteral("Forum"));
    EXPECT_EQ(cell(2, AnalyzeTableModel::Description), QStringLiteral("Mail"));

    auto* check = child<QPushButton>(dialog, "checkBreachesButton");
    QTest::mouseClick(check, Qt::LeftButton);
    // The check runs while the dialog keeps serving events.
    EXPECT_FALSE(check->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([check] { return check->isEnabled(); }, 10000));
    EXPECT_EQ(cell(0, AnalyzeTableModel::Breached), QStringLiteral("42"));
    EXPECT_EQ(cell(1, AnalyzeTableModel::Breached),
              localizer.text(QStringLiteral("analyze_not_breached")));
    EXPECT_EQ(child<QLabel>(dialog, "breachStatusLabel")->text(),
              localizer.text(QStringLiteral("analyze_breached_summary"),
                             {QStringLiteral("1"), QStringLiteral("3")}));
    // One request per distinct prefix, and only prefixes leave the machine.
    EXPECT_EQ(server.requests().size(), 3);
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.target.size(), qsizetype(QByteArray("/range/12345").size()));
    }
    EXPECT_TRUE(presenter.calls().isEmpty()) << presenter.transcript().join('\n').toStdString();
    screenshot(dialog, QStringLiteral("AnalyzeDialog"));
}

TEST_F(ToolDialogsTest, BackupsRestoreTheChosenOneAndDeleteAnother) {
    BackupStorage& storage = desktop.app().backups();
    const Key256 key =
        session().keyHelper.keyFromCredentials(database(), Credentials(kPassword, std::nullopt));
    const QString base = BackupStorage::backupBaseName(info.name);
    // Opening may have made one already, as the settings ask.
    storage.waitForBackups();
    const auto before = BackupManagerController::backupsOf(storage, info.name).size();
    storage.createBackup(base, key, database());
    storage.createBackup(base, key, database());
    // A backup of another database is not listed.
    storage.createBackup(QStringLiteral("other"), key, database());
    find(QStringLiteral("Shop"))->setDescription(QStringLiteral("Changed"));

    BackupManagerDialog dialog(ctx());
    dialog.show();
    auto* table = child<QTableView>(dialog, "backupTable");
    ASSERT_EQ(table->model()->rowCount(), before + 2);
    screenshot(dialog, QStringLiteral("BackupManagerDialog"));

    presenter.answerAlert(0);
    QTest::mouseClick(child<QPushButton>(dialog, "restoreButton"), Qt::LeftButton);
    EXPECT_NE(find(QStringLiteral("Shop")), nullptr);
    EXPECT_EQ(find(QStringLiteral("Changed")), nullptr);
    // The version replaced was kept as one more backup, and the restored one saved at once.
    ASSERT_EQ(table->model()->rowCount(), before + 3);
    EXPECT_FALSE(database().isModified());

    table->selectRow(1);
    const QString doomed = dialog.controller().backups()[1].path.toLocalFile();
    ASSERT_TRUE(QFileInfo::exists(doomed));
    presenter.answerAlert(1);
    QTest::mouseClick(child<QPushButton>(dialog, "deleteButton"), Qt::LeftButton);
    EXPECT_TRUE(QFileInfo::exists(doomed)) << "not confirmed";
    table->selectRow(1);
    presenter.answerAlert(0);
    QTest::mouseClick(child<QPushButton>(dialog, "deleteButton"), Qt::LeftButton);
    EXPECT_FALSE(QFileInfo::exists(doomed));
    EXPECT_EQ(table->model()->rowCount(), before + 2);
    EXPECT_TRUE(presenter.isScriptUsedUp());
}

} // namespace
