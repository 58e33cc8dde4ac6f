// The print controller over a real database: the PDF it writes is read back with poppler's
// pdfinfo and pdftotext, so page size, page count, footers and the printed rows are checked in
// the document itself rather than in the controller's layout.

#include "tools/PrintViewController.h"

#include "core/Localizer.h"
#include "core/shared/PassFile.h"
#include "platform/FakeClock.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/ItemTrees.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::ScriptedPresenter;

/// Output of a poppler tool; empty (after a test failure) when it does not run.
QString poppler(const QString& tool, QStringList args) {
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        ADD_FAILURE() << tool.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfInfo(const QString& path, const QString& field) {
    for (const QString& line : poppler(QStringLiteral("pdfinfo"), {path}).split(u'\n')) {
        if (line.startsWith(field + u':')) {
            return line.mid(field.size() + 1).trimmed();
        }
    }
    return {};
}

QString pageText(const QString& path, int page) {
    const QString n = QString::number(page);
    return poppler(QStringLiteral("pdftotext"),
                   {QStringLiteral("-f"), n, QStringLiteral("-l"), n, path, QStringLiteral("-")});
}

class PrintViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // root: Gamma, Work{ Alpha, Deep{ Beta } }, trashed
        gamma = entry("Gamma", "gina", 1);
        alpha = entry("Alpha", "anna", 2);
        beta = entry("Beta", "bert", 0);
        auto work = test::folder(QStringLiteral("Work"), {alpha, test::folder("Deep", {beta})});
        this->work = work.get();
        auto trashed = entry("Trashed", "tom", 1);
        trashed->isDeleted = true;
        test::addAll(file, {gamma, work, trashed});
    }

    std::shared_ptr<Info2Item> entry(const char* name, const char* user, int importance) {
        auto e = test::entry(QString::fromLatin1(name), QString::fromLatin1(user),
                             QStringLiteral("pw-") + QString::fromLatin1(name));
        e->importance = importance;
        return e;
    }

    std::unique_ptr<PrintViewController> make(PDFOptions options) {
        return std::make_unique<PrintViewController>(
            presenter, localizer.lookup(), clock, [this] { return &file; },
            QStringLiteral("/home/me/Private.pswd"), std::move(options));
    }
    std::unique_ptr<PrintViewController> make() {
        return make(PDFOptions::forDatabase(&file.root(), QStringLiteral("Private%20Data.pswd")));
    }

    test::TempDir dir;
    QString pdf = dir.file(QStringLiteral("out.pdf"));
    PassFile file;
    Info2Item* work = nullptr;
    std::shared_ptr<Info2Item> gamma, alpha, beta;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    Localizer localizer{QStringLiteral("en")};
    FakeClock clock;
};

TEST_F(PrintViewControllerTest, ANewRecordPrintsEveryRowOfEveryLiveEntryOnAPrivateFile) {
    const PDFOptions options =
        PDFOptions::forDatabase(&file.root(), QStringLiteral("Private%20Data.pswd"));
    EXPECT_EQ(options.title, QStringLiteral("Private Data"));
    EXPECT_EQ(options.printFields.size(), PDFOptions::kFieldCount);
    EXPECT_EQ(options.marginsInPoints(), QMarginsF(25, 25, 25, 15) * 2.834645669291339);

    alpha->mutableCustomFields().append(
        PswField{QStringLiteral("PIN"), QStringLiteral("4711"), {}, true});
    TanItem tan;
    tan.number = QStringLiteral("17");
    tan.value = QStringLiteral("998877");
    alpha->mutableTans().append(tan);
    auto controller = make(options);
    ASSERT_TRUE(controller->onExport(pdf));
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                        QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(pdf) & (others | QFile::ReadOwner | QFile::WriteOwner),
              QFile::ReadOwner | QFile::WriteOwner);

    const QString text =
        poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    const QString pages = QString::number(controller->pages().count());
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")), pages);
    // clang-format off
    const QStringList expected = {
        "Private Data", "/home/me/Private.pswd", "01/01/2026", "Type:", "User name:", "anna",
        "Password:", "pw-Alpha", "URL:", "Last modified:", "Last accessed:", "Expiry date:",
        "Importance:", "high", "low", "normal", "Category:", "Tags:", "Comments:", "Name:", "PIN",
        "Value:", "4711", "Number:", "TAN:", "998877", "Confirmation Code:",
        "Page 1 of " + pages};
    // clang-format on
    for (const QString& row : expected) {
        EXPECT_TRUE(text.contains(row)) << row.toStdString();
    }
    EXPECT_FALSE(text.contains(QLatin1String("Trashed")));
}

class PrintOrientationTest : public PrintViewControllerTest,
                             public ::testing::WithParamInterface<std::pair<int, const char*>> {};

TEST_P(PrintOrientationTest, ThePageHasTheSizeOfItsOrientation) {
    auto controller = make();
    controller->onOrientation(GetParam().first);
    EXPECT_EQ(controller->options().isLandscape(), GetParam().first != 0);
    ASSERT_TRUE(controller->onExport(pdf));
    EXPECT_TRUE(
        pdfInfo(pdf, QStringLiteral("Page size")).startsWith(QLatin1String(GetParam().second)))
        << pdfInfo(pdf, QStringLiteral("Page size")).toStdString();
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")), QString::number(controller->pages().count()));
}

INSTANTIATE_TEST_SUITE_P(Orientations, PrintOrientationTest,
                         ::testing::Values(std::pair{0, "612 x 792 pts"},
                                           std::pair{1, "792 x 612 pts"},
                                           std::pair{7, "792 x 612 pts"}));

TEST_F(PrintViewControllerTest, EntriesThatDoNotFitContinueOnTheNextPages) {
    auto controller = make();
    for (int n = 0; controller->pages().count() < 3; ++n) {
        ASSERT_LT(n, 500) << "the pages never filled";
        auto e = entry("Filler", "user", 1);
        e->setDescription(QStringLiteral("Filler%1").arg(n, 3, 10, QLatin1Char('0')));
        e->setPassword(QStringLiteral("pw-") + e->description());
        e->setComment(QStringLiteral("line one\nline two\nline three"));
        file.addItem(e);
        controller->onRefresh();
    }
    ASSERT_TRUE(controller->onExport(pdf));
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("3"));
    EXPECT_TRUE(pageText(pdf, 2).contains(QLatin1String("Page 2 of 3")));

    // Every entry is printed once, none lost or repeated at a page break.
    const QString all = pageText(pdf, 1) + pageText(pdf, 2) + pageText(pdf, 3);
    for (const auto& item : controller->entries()) {
        EXPECT_EQ(all.count(QStringLiteral("pw-") + item->description()), 1)
            << item->description().toStdString();
    }
}

TEST_F(PrintViewControllerTest, WithOnlyThePasswordTickedEachEntryShowsItsNameAndPassword) {
    auto controller = make();
    controller->onPrintFieldsChange({4});
    ASSERT_TRUE(controller->onExport(pdf));
    const QString text = pageText(pdf, 1);
    for (const char* name : {"Alpha", "Beta", "Gamma"}) {
        EXPECT_TRUE(text.contains(QLatin1String(name))) << name;
        EXPECT_TRUE(text.contains(QStringLiteral("pw-") + QLatin1String(name))) << name;
    }
    EXPECT_EQ(text.count(QLatin1String("Password:")), 3);
    for (const char* absent : {"User name:", "anna", "Type:", "Importance:", "Comments:"}) {
        EXPECT_FALSE(text.contains(QLatin1String(absent))) << absent;
    }
}

TEST_F(PrintViewControllerTest, GathersTheFolderItsSubFoldersOrTheSelectionInTheChosenOrder) {
    auto controller = make();
    EXPECT_EQ(test::descriptions(controller->entries()), (QStringList{"Beta", "Gamma", "Alpha"}))
        << "importance ascending, the trash left out";
    controller->onDirectionPopup(PrintOrderDirection::descending);
    controller->onOrderByPopup(PrintSortKey::username);
    EXPECT_EQ(test::descriptions(controller->entries()), (QStringList{"Gamma", "Beta", "Alpha"}));
    controller->onSelectFolder(work);
    EXPECT_EQ(test::descriptions(controller->entries()), (QStringList{"Beta", "Alpha"}));
    controller->onIncludeSubFolders(false);
    EXPECT_EQ(test::descriptions(controller->entries()), (QStringList{"Alpha"}));

    PDFOptions selection = controller->options();
    selection.isAll = false;
    selection.selectedEntries = {alpha, gamma};
    controller = make(selection);
    EXPECT_EQ(test::descriptions(controller->entries()), (QStringList{"Gamma", "Alpha"}));
}

TEST_F(PrintViewControllerTest, AnEntryTallerThanAPageGetsAPageOfItsOwnAndNoPageIsLeftEmpty) {
    gamma->setComment(QStringLiteral("a line\n").repeated(200));
    gamma->importance = -1; // first in print order
    auto controller = make();
    const auto& pages = controller->pages().pages();
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[0].entryViews().size(), 1u);
    EXPECT_EQ(pages[0].entryViews()[0]->name(), QStringLiteral("Gamma"));
    EXPECT_GT(pages[0].entryViews()[0]->height(), pages[0].usableHeight());
    EXPECT_EQ(pages[1].entryViews().size(), 2u);
}

TEST_F(PrintViewControllerTest, AFileThatCannotBeWrittenIsReportedAndNothingIsLeft) {
    auto controller = make();
    presenter.answerAlert(0);
    const QString missing = dir.file(QStringLiteral("no/such/folder/out.pdf"));
    EXPECT_FALSE(controller->onExport(missing));
    ASSERT_EQ(presenter.calls().size(), 1);
    EXPECT_TRUE(presenter.transcript().first().startsWith(
        QLatin1String("alert critical dialog_error/The PDF file could not be written")))
        << presenter.transcript().first().toStdString();
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(PrintViewControllerTest, MarginFieldsAreReadAsDecimalIntegers) {
    auto controller = make();
    controller->onLayout({QString(), QStringLiteral("10"), QStringLiteral(""),
                          QStringLiteral("abc"), QStringLiteral(" 7 ")});
    EXPECT_EQ(controller->options().title, QStringLiteral("Private Data")) << "empty keeps it";
    EXPECT_EQ(controller->options().marginLeft, 10);
    EXPECT_EQ(controller->options().marginRight, 0);
    EXPECT_EQ(controller->options().marginTop, 0);
    EXPECT_EQ(controller->options().marginBottom, 7);
    // Margins wider than the page still leave room for the entries.
    controller->onLayout({QStringLiteral("Mine"), QStringLiteral("900"), QStringLiteral("900"),
                          QStringLiteral("900"), QStringLiteral("900")});
    EXPECT_EQ(controller->options().title, QStringLiteral("Mine"));
    EXPECT_GT(controller->pages().pages()[0].usableHeight(), 0);
    EXPECT_TRUE(controller->onExport(pdf));
}

} // namespace
} // namespace keskor
