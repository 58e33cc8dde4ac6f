// The read-ahead walk visits exactly what a plain depth-first walk visits, in the same order,
// for list lengths around its look-ahead distances (where an index slip would show).

#include "core/shared/ItemTreeScan.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

class ItemTreeScanTest : public ::testing::TestWithParam<int> {
protected:
    /// A root list of `width` entries; every third one is a folder holding `width` entries
    /// (nested once more in the first folder), so lists of every length sit at several depths.
    static ItemTreeScan::Items tree(int width) {
        ItemTreeScan::Items items;
        int n = 0;
        for (int i = 0; i < width; ++i) {
            auto item = i % 3 == 0 ? Info2Item::createFolder(QString::number(n++))
                                   : Info2Item::create(1, QString::number(n++));
            if (item->isFolder) {
                for (int j = 0; j < width; ++j) {
                    auto child = Info2Item::create(1, QString::number(n++));
                    if (i == 0 && j == 0) {
                        for (int k = 0; k < width; ++k) {
                            child->addSubItem(Info2Item::create(1, QString::number(n++)));
                        }
                    }
                    item->addSubItem(child);
                }
            }
            items.push_back(item);
        }
        return items;
    }

    static void plainWalk(const ItemTreeScan::Items& items, QStringList& out) {
        for (const auto& item : items) {
            out << item->description();
            plainWalk(item->subItems(), out);
        }
    }
};

TEST_P(ItemTreeScanTest, VisitsEveryItemOnceDepthFirst) {
    const ItemTreeScan::Items items = tree(GetParam());
    QStringList expected;
    plainWalk(items, expected);
    QStringList visited;
    ItemTreeScan::forEach(
        items, [&](const std::shared_ptr<Info2Item>& item) { visited << item->description(); });
    EXPECT_EQ(visited, expected);
}

INSTANTIATE_TEST_SUITE_P(ListLengths, ItemTreeScanTest,
                         ::testing::Values(0, 1, 3, 4, 5, 8, 9, 10, 25));

} // namespace
