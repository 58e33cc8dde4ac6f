// The print dialog driven offscreen over an open database: its controls reach the controller,
// the preview follows, and the exported PDF holds what the controls asked for.

#include "ui/PrintDialog.h"

#include "core/DatabaseInfoHelper.h"
#include "tests/ui/UiFixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QTest>

using namespace keskor;

namespace {

QString run(const QString& tool, const QStringList& args) {
    QProcess process;
    process.start(tool, args);
    EXPECT_TRUE(process.waitForFinished(30000) && process.exitCode() == 0) << tool.toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

class PrintDialogTest : public test::UiFixture {
protected:
    void SetUp() override {
        PassFile file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                                PassFile::AuthenticationType::Password, false);
        for (const char* name : {"Mail", "Bank", "Shop"}) {
            auto entry = Info2Item::create(Info2Item::TypePassword, QLatin1String(name));
            entry->setUserName(QStringLiteral("user-") + QLatin1String(name));
            entry->setPassword(QStringLiteral("pw-") + QLatin1String(name));
            file.addItem(entry);
        }
        const DatabaseInfo info =
            DatabaseInfoHelper::localFile(dir.file(QStringLiteral("Team.pswd")));
        session().open(info, std::move(file), Credentials(QStringLiteral("secret"), std::nullopt));
        const PassFile& open = *session().currentPassFile;
        dialog =
            std::make_unique<PrintDialog>(ctx(), PDFOptions::forDatabase(&open.root(), info.name),
                                          DatabaseInfoHelper::text(info));
    }

    std::unique_ptr<PrintDialog> dialog;
};

TEST_F(PrintDialogTest, TheControlsShapeThePreviewAndTheExportedDocument) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QTest::qWait(10);
    EXPECT_EQ(dialog->renderedPages(), 1);
    QLabel* page = child<QLabel>(*dialog, "previewPage1");
    ASSERT_NE(page, nullptr);
    EXPECT_LT(page->width(), page->height()) << "portrait";
    QLabel* warning = child<QLabel>(*dialog, "unencryptedWarning");
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->isVisible() && warning->text().contains(QStringLiteral("not encrypted")));

    auto* userName = child<QCheckBox>(*dialog, "field3Check");
    ASSERT_TRUE(userName->isChecked());
    QTest::mouseClick(userName, Qt::LeftButton, {}, QPoint(8, userName->height() / 2));
    EXPECT_FALSE(dialog->controller().options().printFields.contains(3));
    auto* landscape = child<QRadioButton>(*dialog, "landscapeRadio");
    QTest::mouseClick(landscape, Qt::LeftButton, {}, QPoint(8, landscape->height() / 2));
    page = child<QLabel>(*dialog, "previewPage1");
    ASSERT_NE(page, nullptr);
    EXPECT_GT(page->width(), page->height()) << "the preview follows the orientation";
    QTest::qWait(10);
    screenshot(*dialog, QStringLiteral("PrintDialog"));

    const QString pdf = dir.file(QStringLiteral("Team"));
    ASSERT_TRUE(dialog->exportTo(pdf));
    const QString written = pdf + QStringLiteral(".pdf");
    ASSERT_TRUE(QFile::exists(written));
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {written}).contains(QLatin1String("792 x 612 pts")));
    const QString text = run(QStringLiteral("pdftotext"), {written, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QLatin1String("Team"))) << "the title from the database's name";
    EXPECT_TRUE(text.contains(QLatin1String("pw-Bank")));
    EXPECT_FALSE(text.contains(QLatin1String("user-Bank"))) << "the unticked field is left out";
}

} // namespace
