// The analysis list: which entries it holds and in what order, the values of its columns,
// sorting and opening the editor.

#include "tools/AnalyzeViewController.h"

#include "core/shared/AccessRights.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/ItemTrees.h"
#include "tests/tools/ScriptedRandom.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

std::shared_ptr<Info2Item> entry(const QString& name, std::optional<QString> password,
                                 int importance = 1, double expiry = 0.0, int type = 1) {
    auto e = Info2Item::create(type, name);
    e->setPassword(std::move(password));
    e->importance = importance;
    e->expiryDate = expiry;
    return e;
}

class AnalyzeTest : public ::testing::Test {
protected:
    AnalyzeTest() {
        auto inner = test::folder("Inner", {entry("deep", QStringLiteral("abcdefghijkl"), 0)});
        test::addAll(file, {test::folder("Top", {entry("pin", QStringLiteral("1234"), 2), inner,
                                                 entry("nopassword", std::nullopt)}),
                            entry("old", QStringLiteral("Abc1"), 2, 45000.0),
                            entry("doc", QString(), 1, 0.0, AnalyzeViewController::kDocumentType)});
    }
    QStringList names() const { return test::descriptions(controller.resultArray()); }

    PassFile file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                            PassFile::AuthenticationType::Password, false);
    testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    AnalyzeViewController controller{presenter, &test::markedKey, [this] { return &file; },
                                     [] { return 46000.0; }};
};

TEST_F(AnalyzeTest, ListsEntriesWithAPasswordInTreeOrder) {
    controller.reload();
    EXPECT_EQ(names(), (QStringList{"pin", "deep", "old", "doc"}));
    const auto& rows = controller.rows();
    EXPECT_EQ(rows[0].importanceImage, QStringLiteral("high_priority"));
    EXPECT_EQ(rows[1].importanceImage, QStringLiteral("low_priority"));
    EXPECT_EQ(rows[2].importanceImage, QStringLiteral("expired"));
    EXPECT_EQ(rows[3].importanceImage, QString());
    EXPECT_EQ(rows[0].entropyText, QStringLiteral("13 bits"));
    EXPECT_EQ(rows[0].crackTimeText, QStringLiteral(" <less_than> 1 <secs>"));
    EXPECT_EQ(rows[1].crackTimeText, QStringLiteral(" 1 <years>"));
    EXPECT_DOUBLE_EQ(rows[1].quality.value, 56.0);
}

TEST_F(AnalyzeTest, SortsByEntropyCrackTimeOrKeepsOrderForUnknownKeys) {
    controller.reload();
    controller.sort(QStringLiteral("entropy"), true);
    EXPECT_EQ(names(), (QStringList{"doc", "pin", "old", "deep"}));
    controller.sort(QStringLiteral("quality"), false);
    EXPECT_EQ(names(), (QStringList{"deep", "old", "pin", "doc"}));
    controller.sort(QStringLiteral("cracktime"), false);
    EXPECT_EQ(names(), (QStringList{"deep", "old", "pin", "doc"}));
    controller.sort(QStringLiteral("unknown"), true);
    EXPECT_EQ(names(), (QStringList{"deep", "old", "pin", "doc"}));
    controller.sort(QStringLiteral("description"), true);
    EXPECT_EQ(names(), (QStringList{"deep", "doc", "old", "pin"}));
}

TEST_F(AnalyzeTest, EditOpensTheRightEditorOrRefuses) {
    controller.reload();
    controller.onEdit(0);
    controller.onEdit(3);
    controller.onEdit(17);
    ASSERT_EQ(presenter.calls().size(), 2);
    EXPECT_EQ(presenter.calls()[0].dialogId, QStringLiteral("EntryDetailViewController"));
    EXPECT_EQ(presenter.calls()[0].values.value("fingerprint").toString(),
              controller.resultArray()[0]->fingerprint());
    EXPECT_EQ(presenter.calls()[1].dialogId, QStringLiteral("DocumentDetailViewController"));

    file.krServer = QStringLiteral("server.example");
    file.userRights = AccessRights::PWD_ACCESS_READ;
    presenter.answerAlert(0);
    controller.onEdit(0);
    EXPECT_EQ(presenter.transcript().last(),
              QStringLiteral("alert critical dialog_error/error_no_rights_to_edit []"));
}

TEST_F(AnalyzeTest, ChangeReportRebuildsTheListKeepingTheSort) {
    controller.reload();
    controller.sort(QStringLiteral("entropy"), false);
    controller.resultArray()[0]->setPassword(std::nullopt); // "deep" lost its password
    file.items()[1]->setPassword(QStringLiteral("x"));      // "old" became weak
    controller.onEntryChanged();
    EXPECT_EQ(names(), (QStringList{"pin", "old", "doc"}));
}

TEST(AnalyzeWithoutDatabaseTest, IsEmpty) {
    testing::ScriptedPresenter presenter;
    AnalyzeViewController controller{presenter, &test::markedKey, [] { return nullptr; }, {}};
    controller.reload();
    EXPECT_TRUE(controller.rows().empty());
    controller.onEdit(0);
    EXPECT_TRUE(presenter.calls().isEmpty());
}

} // namespace
} // namespace keskor
