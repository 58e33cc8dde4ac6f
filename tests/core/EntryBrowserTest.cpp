#include "core/EntryBrowser.h"

#include "core/DemoDatabase.h"
#include "core/EntrySearchIndex.h"
#include "core/ItemActions.h"
#include "core/shared/AccessRights.h"
#include "platform/NotificationNames.h"
#include "tests/core/AppHarness.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

QStringList titles(const EntryBrowser::Items& items) {
    QStringList out;
    for (const auto& item : items) {
        out.append(item->description());
    }
    return out;
}

const NavigationNode* nodeOf(const std::vector<NavigationNode>& nodes, NavigationNode::Kind kind,
                             int type = 0) {
    for (const NavigationNode& node : nodes) {
        if (node.kind == kind && (kind != NavigationNode::Kind::TypeGroup || node.type == type)) {
            return &node;
        }
    }
    return nullptr;
}

TEST(EntryBrowserTest, NodesListTheirEntriesAndTheSearchCoversTheWholeDatabase) {
    const PassFile file = DemoDatabase::create();
    const auto nodes = EntryBrowser::navigation(file, GroupBy::type);
    using Kind = NavigationNode::Kind;
    ASSERT_TRUE(nodeOf(nodes, Kind::Favorites) && nodeOf(nodes, Kind::Trash));
    EXPECT_EQ(nodeOf(nodes, Kind::Favorites)->count, 1);
    EXPECT_EQ(nodeOf(nodes, Kind::Trash)->count, 1);
    // The trashed password is not counted with the live ones.
    ASSERT_TRUE(nodeOf(nodes, Kind::TypeGroup, 1));
    EXPECT_EQ(nodeOf(nodes, Kind::TypeGroup, 1)->count, 2);
    const NavigationNode& database = *nodeOf(nodes, Kind::Database);
    EXPECT_EQ(titles(EntryBrowser::entries(file, database)),
              (QStringList{QStringLiteral("Build server"), QStringLiteral("Wi-Fi at home")}));
    ASSERT_EQ(database.children.size(), 2u);
    EXPECT_EQ(titles(EntryBrowser::entries(file, database.children[0])),
              QStringList{QStringLiteral("Credit card")});
    EXPECT_EQ(titles(EntryBrowser::entries(file, *nodeOf(nodes, Kind::Trash))),
              QStringList{QStringLiteral("Old forum")});
    EXPECT_TRUE(nodeOf(EntryBrowser::navigation(file, GroupBy::none), Kind::TypeGroup) == nullptr);

    // Case ignored, every folder searched, the trash left out; user names match too.
    EXPECT_EQ(titles(EntryBrowser::entries(file, database, QStringLiteral("BANK"))),
              QStringList{QStringLiteral("My bank")});
    EntrySearchIndex index(EntryBrowser::allEntries(file));
    const auto alice = index.find(QStringLiteral("ALICE"));
    EXPECT_EQ(alice.size(), 4u);
    EXPECT_EQ(titles(index.itemsAt(index.find(QStringLiteral("alice@"), &alice))),
              QStringList{QStringLiteral("Mail account")});
    // A match never spans two fields.
    EXPECT_TRUE(index.find(QStringLiteral("aliceh")).empty());
    EXPECT_FALSE(titles(index.itemsAt(index.find({}))).contains(QStringLiteral("Old forum")));

    EntryBrowser::Items all = EntryBrowser::allEntries(file);
    EntryBrowser::sort(all, EntryBrowser::Column::Description, true);
    EXPECT_EQ(titles(all).front(), QStringLiteral("Build server"));
    EntryBrowser::sort(all, EntryBrowser::Column::Description, false);
    EXPECT_EQ(titles(all).front(), QStringLiteral("Wi-Fi at home"));
}

class ItemActionsTest : public ::testing::Test, protected keskor::test::AppHarness {
protected:
    AppDelegate app{services()};
    ItemActions actions{app.mainManager().sessionManager, app.databases(), notifications,
                        presenter};
    int changes = 0;

    void SetUp() override {
        PassFile file = DemoDatabase::create();
        app.mainManager().sessionManager.open(
            DatabaseInfo{QStringLiteral("t.pswd"), dir.path(), Location::backupDevice, false},
            std::move(file), Credentials(QStringLiteral("pw"), std::nullopt));
        notifications.observe(NotificationNames::EntryDidChanged,
                              [this](const QVariantMap&) { ++changes; });
    }
    PassFile& file() { return *app.mainManager().sessionManager.currentPassFile; }
};

TEST_F(ItemActionsTest, DeleteGoesToTheTrashFirstAndRightsAreAskedBeforeAnyChange) {
    const auto entry = file().items().front()->subItems().back(); // Banking/Credit card
    ASSERT_TRUE(actions.deleteItems({entry}));
    EXPECT_TRUE(entry->isDeleted);
    EXPECT_EQ(ItemActions::trashedItems(file().root()).size(), 2u);
    ASSERT_TRUE(actions.restoreItems({entry}));
    EXPECT_FALSE(entry->isDeleted);
    ASSERT_TRUE(actions.emptyTrash());
    EXPECT_TRUE(ItemActions::trashedItems(file().root()).empty());
    EXPECT_FALSE(file().findItem(entry->fingerprint()) == nullptr);
    EXPECT_EQ(changes, 3);

    // A folder is never moved below itself.
    const auto banking = file().items().front();
    EXPECT_FALSE(actions.moveItems({banking}, *banking->subItems().front()));

    // An enterprise database that grants reading only: nothing changes, the user is told.
    file().krServer = QStringLiteral("server.example");
    file().userRights = AccessRights::PWD_ACCESS_READ;
    presenter.answerAlert(0);
    presenter.answerAlert(0);
    const QString before = entry->description();
    EXPECT_FALSE(
        actions.modifyItem(*entry, [](Info2Item& i) { i.setDescription(QStringLiteral("x")); }));
    EXPECT_FALSE(actions.addItem(Info2Item::create(1, QStringLiteral("new")), file().root()));
    EXPECT_EQ(entry->description(), before);
    EXPECT_EQ(presenter.transcript().join('\n').toStdString(),
              "alert warning dialog_error/error_no_rights_to_edit []\n"
              "alert warning dialog_error/error_no_rights_to_create []");
    EXPECT_EQ(changes, 3);
}

} // namespace
