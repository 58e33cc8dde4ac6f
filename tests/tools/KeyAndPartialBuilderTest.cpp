// The key-file generator (progress gate, atomic ".krk" file, parse on OK) and the
// partial-password builder.

#include "core/shared/KeyHelper.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/TempDir.h"
#include "tools/KeyGeneratorViewController.h"
#include "tools/PartialBuilderViewController.h"

#include <QFile>
#include <gtest/gtest.h>
#include <optional>

namespace keskor {
namespace {

class KeyGeneratorTest : public ::testing::Test {
protected:
    testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    test::TempDir dir;
    std::optional<Key256> handedKey;
    QString handedPath;
    KeyGeneratorViewController::Delegate delegate = [this](const Key256& key, const QString& path) {
        handedKey = key;
        handedPath = path;
    };
};

TEST_F(KeyGeneratorTest, TheKeyIsShownOnlyAfterTheProgressPasses100) {
    KeyGeneratorViewController dialog(presenter, delegate);
    EXPECT_EQ(dialog.state().title, QStringLiteral("key_gen"));
    EXPECT_FALSE(dialog.state().okEnabled);
    for (int move = 0; move < 250; ++move) {
        dialog.mouseMoved();
    }
    EXPECT_GT(dialog.state().progress, 100.0);
    EXPECT_TRUE(dialog.state().keyField.isEmpty());
    dialog.mouseMoved(); // the 251st
    EXPECT_FALSE(dialog.state().keyField.isEmpty());
    EXPECT_NO_THROW(KeyHelper::parseExternalKey(dialog.state().keyField.toLatin1()));
}

TEST_F(KeyGeneratorTest, OkHandsOverTheSavedKeyAndRefreshAsksForANewSave) {
    int made = 0;
    KeyGeneratorViewController dialog(presenter, delegate, [&made] {
        ++made;
        return KeyHelper::generateExternalKey();
    });
    dialog.onOk(); // not saved yet: OK is disabled
    EXPECT_FALSE(dialog.isClosed());
    presenter.answerFile(dir.file("a.KRK"));
    ASSERT_TRUE(dialog.onSave());
    EXPECT_EQ(presenter.calls().at(0).extensions, QStringList{"krk"});
    EXPECT_EQ(dialog.state().fileField, dir.file("a.KRK"));
    EXPECT_TRUE(dialog.state().okEnabled);
    const QByteArray first = dir.read("a.KRK");
    for (int move = 0; move < 300; ++move) {
        dialog.mouseMoved();
    }
    dialog.onRefresh();
    EXPECT_EQ(made, 2);
    EXPECT_EQ(dialog.state().progress, 0.0);
    EXPECT_TRUE(dialog.state().keyField.isEmpty());
    EXPECT_FALSE(dialog.state().okEnabled);

    presenter.answerFile(dir.file("b")); // the extension is added
    ASSERT_TRUE(dialog.onSave());
    EXPECT_EQ(dialog.state().fileField, dir.file("b.krk"));
    EXPECT_NE(dir.read("b.krk"), first);
    dialog.onOk();
    EXPECT_TRUE(dialog.isClosed());
    ASSERT_TRUE(handedKey.has_value());
    EXPECT_TRUE(*handedKey == KeyHelper::parseExternalKey(dir.read("b.krk")));
    EXPECT_EQ(handedPath, dir.file("b.krk"));
}

TEST_F(KeyGeneratorTest, UnparsableKeyKeepsTheDialogOpen) {
    KeyGeneratorViewController dialog(presenter, delegate, [] { return QByteArray("not a key"); });
    presenter.answerFile(dir.file("bad"));
    ASSERT_TRUE(dialog.onSave());
    dialog.onOk();
    EXPECT_FALSE(dialog.isClosed());
    EXPECT_FALSE(handedKey.has_value());
}

TEST_F(KeyGeneratorTest, FailedSaveAlertsAndKeepsTheEarlierFile) {
    KeyGeneratorViewController dialog(presenter, delegate);
    presenter.answerFile(dir.file("missing/folder/key"));
    presenter.answerAlert(0);
    EXPECT_FALSE(dialog.onSave());
    EXPECT_TRUE(presenter.transcript().last().startsWith("alert critical dialog_error/"));
    EXPECT_FALSE(dialog.state().okEnabled);

    presenter.cancelFile();
    EXPECT_FALSE(dialog.onSave());
    EXPECT_TRUE(presenter.isScriptUsedUp());
}

TEST(PartialBuilderTest, CellsFollowTheCharactersAndTicksBuildInPositionOrder) {
    QStringList copied;
    PartialBuilderViewController builder(QStringLiteral("pä🔑e\u0301x"),
                                         [&](const QString& p) { copied << p; });
    ASSERT_EQ(builder.cells().size(), 5);
    EXPECT_EQ(builder.containerHeight(), 5 * 35);
    EXPECT_EQ(builder.cells().at(2).position, 3);
    EXPECT_EQ(builder.cells().at(2).label, QStringLiteral("•"));
    builder.setChecked(4, true);
    builder.setChecked(0, true);
    builder.setChecked(3, true);
    builder.setChecked(9, true); // ignored
    EXPECT_EQ(builder.partialPassword(), QStringLiteral("pe\u0301x"));
    builder.setChecked(0, false);
    EXPECT_EQ(builder.partialPassword(), QStringLiteral("e\u0301x"));
    builder.setVisible(true);
    EXPECT_EQ(builder.cells().at(2).label, QStringLiteral("🔑"));
    builder.setVisible(false);
    EXPECT_EQ(builder.cells().at(2).label, QStringLiteral("•"));
    builder.onCopyToClipboard();
    EXPECT_EQ(copied, QStringList{"e\u0301x"});
    EXPECT_TRUE(builder.isClosed());
}

} // namespace
} // namespace keskor
