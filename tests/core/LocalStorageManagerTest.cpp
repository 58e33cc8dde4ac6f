#include "core/LocalStorageManager.h"

#include "platform/MemoryDefaultsStore.h"
#include "platform/QSettingsDefaultsStore.h"
#include "tests/platform/MessageCapture.h"
#include "tests/support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>

namespace keskor {
namespace {

struct AreaRow {
    const char* name;
    const char* key;
    std::function<bool(const LocalStorageManager&)> get;
    std::function<void(LocalStorageManager&, bool)> set;
};

std::ostream& operator<<(std::ostream& os, const AreaRow& row) {
    return os << row.name;
}

class ShowAreas : public ::testing::TestWithParam<AreaRow> {
protected:
    MemoryDefaultsStore store;
    LocalStorageManager layout{store};
};

TEST_P(ShowAreas, ShownWhenAbsentWithoutWritingAndHiddenIsStoredUnderTheKey) {
    EXPECT_TRUE(GetParam().get(layout));
    EXPECT_EQ(store.writeCount(), 0);
    GetParam().set(layout, false);
    EXPECT_EQ(store.boolValue(GetParam().key), false);
    EXPECT_FALSE(GetParam().get(layout));
    EXPECT_EQ(store.values().size(), 1);
}

TEST_P(ShowAreas, WrongTypeReadsAsShownWithAWarningByKey) {
    store.setObject(GetParam().key, QStringLiteral("sometimes"));
    test::MessageCapture log;
    EXPECT_TRUE(GetParam().get(layout));
    EXPECT_TRUE(log.anyContains(GetParam().key));
    EXPECT_FALSE(log.anyContains("sometimes"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShowAreas,
    ::testing::Values(AreaRow{"Navigation", "show_navigation_area",
                              [](const LocalStorageManager& l) { return l.showNavigationArea(); },
                              [](LocalStorageManager& l, bool v) { l.setShowNavigationArea(v); }},
                      AreaRow{"DBonServer", "show_db_on_server_area",
                              [](const LocalStorageManager& l) { return l.showDBonServerArea(); },
                              [](LocalStorageManager& l, bool v) { l.setShowDBonServerArea(v); }},
                      AreaRow{"Detail", "show_detail_area",
                              [](const LocalStorageManager& l) { return l.showDetailArea(); },
                              [](LocalStorageManager& l, bool v) { l.setShowDetailArea(v); }},
                      AreaRow{"StatusBar", "show_status_bar_area",
                              [](const LocalStorageManager& l) { return l.showStatusBar(); },
                              [](LocalStorageManager& l, bool v) { l.setShowStatusBar(v); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GroupBy, AbsentIsTypeWithoutWritingAndEachGroupingStoresItsWord) {
    MemoryDefaultsStore store;
    LocalStorageManager layout(store);
    EXPECT_EQ(layout.groupBy(), GroupBy::type);
    EXPECT_EQ(store.writeCount(), 0);
    for (const auto& [group, word] :
         {std::pair{GroupBy::none, "none"}, std::pair{GroupBy::category, "category"},
          std::pair{GroupBy::type, "type"}}) {
        layout.setGroupBy(group);
        EXPECT_EQ(store.stringValue("entry_group_by"), QString::fromLatin1(word));
    }
}

TEST(GroupBy, StoredWordsReadAsTheirGroupingAndAnyOtherAsCategory) {
    const std::pair<QVariant, GroupBy> cases[] = {
        {QStringLiteral("none"), GroupBy::none},
        {QStringLiteral("type"), GroupBy::type},
        {QStringLiteral("category"), GroupBy::category},
        {QStringLiteral("Type"), GroupBy::category},
        {QStringLiteral(""), GroupBy::category},
        {QStringLiteral("folder"), GroupBy::category},
        {1, GroupBy::category},
    };
    MemoryDefaultsStore store;
    LocalStorageManager layout(store);
    for (const auto& [stored, expected] : cases) {
        store.setObject("entry_group_by", stored);
        EXPECT_EQ(layout.groupBy(), expected) << stored.toString().toStdString();
    }
}

TEST(LocalStorageManager, LastSelectedFolderSetRemoveAndSurviveARestart) {
    test::TempDir dir;
    {
        QSettingsDefaultsStore ini(dir.file("keskor.ini"));
        LocalStorageManager layout(ini);
        EXPECT_EQ(layout.lastSelectedFolder(), std::nullopt);
        layout.setLastSelectedFolder(QStringLiteral("Bank/Cards"));
        layout.setGroupBy(GroupBy::none);
        layout.setShowDetailArea(false);
    }
    QSettingsDefaultsStore ini(dir.file("keskor.ini"));
    LocalStorageManager layout(ini);
    EXPECT_EQ(layout.lastSelectedFolder(), QString("Bank/Cards"));
    EXPECT_EQ(layout.groupBy(), GroupBy::none);
    EXPECT_FALSE(layout.showDetailArea());
    layout.setLastSelectedFolder(std::nullopt);
    EXPECT_FALSE(ini.contains("last_selected_folder"));
}

} // namespace
} // namespace keskor
