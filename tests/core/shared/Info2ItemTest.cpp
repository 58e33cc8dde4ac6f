#include "core/shared/Info2Item.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

TEST(Info2ItemTest, CopiesAreDeepAndKeepTheirOwnParentLinks) {
    auto folder = Info2Item::createFolder(QStringLiteral("f"));
    auto child = Info2Item::create(1, QStringLiteral("c"));
    folder->addSubItem(child);
    Info2Item copy(*folder);
    ASSERT_EQ(copy.subItems().size(), 1u);
    EXPECT_NE(copy.subItems()[0].get(), child.get());
    EXPECT_EQ(copy.subItems()[0]->parent(), &copy);
    copy.subItems()[0]->setDescription(QStringLiteral("changed"));
    EXPECT_EQ(child->description(), QStringLiteral("c"));
    Info2Item moved(std::move(copy));
    EXPECT_EQ(moved.subItems()[0]->parent(), &moved);
}

TEST(Info2ItemTest, RemoveDetachesOnlyDirectChildren) {
    auto folder = Info2Item::createFolder(QStringLiteral("f"));
    auto sub = Info2Item::createFolder(QStringLiteral("s"));
    auto leaf = Info2Item::create(1, QStringLiteral("l"));
    sub->addSubItem(leaf);
    folder->addSubItem(sub);
    EXPECT_EQ(folder->removeSubItem(leaf.get()), nullptr);
    EXPECT_EQ(folder->findDescendant(leaf->fingerprint()), leaf);
    EXPECT_EQ(sub->removeSubItem(leaf.get()), leaf);
    EXPECT_EQ(leaf->parent(), nullptr);
    EXPECT_EQ(folder->countWithDescendants(), 2u);
}

TEST(Info2ItemTest, HistoryKeepsTheNewestVersionsUpToTheLimit) {
    auto e = Info2Item::create(1, QStringLiteral("e"));
    for (int i = 0; i < 5; ++i) {
        e->setPassword(QString::number(i));
        e->pushHistory(3);
    }
    ASSERT_EQ(e->history().size(), 3u);
    EXPECT_EQ(e->history().front().password(), QStringLiteral("2"));
    EXPECT_EQ(e->history().back().password(), QStringLiteral("4"));
    EXPECT_TRUE(e->history().back().history().empty());
    e->pushHistory(0);
    EXPECT_TRUE(e->history().empty());
}

TEST(Info2ItemTest, TextFieldsAreSparseAndOrdered) {
    Info2Item e;
    e.setText(ItemText::Tags, QStringLiteral("t"));
    e.setText(ItemText::Password, QStringLiteral("p"));
    e.setText(ItemText::Url, QStringLiteral("u"));
    ASSERT_EQ(e.texts().size(), 3u);
    EXPECT_EQ(e.texts()[0].first, ItemText::Password);
    EXPECT_EQ(e.texts()[2].first, ItemText::Tags);
    e.setText(ItemText::Url, std::nullopt);
    EXPECT_EQ(e.url(), std::nullopt);
    EXPECT_EQ(e.texts().size(), 2u);
}

} // namespace
