// Reused passwords: entries sharing one are grouped, largest group first; the trash and empty
// passwords never count.

#include "tools/DuplicateFinder.h"

#include <gtest/gtest.h>

using namespace keskor;

TEST(DuplicateFinderTest, GroupsSharedPasswordsAndSkipsTheTrashAndEmptyOnes) {
    Info2Item root;
    auto folder = Info2Item::createFolder(QStringLiteral("f"));
    const auto add = [](Info2Item& parent, const char* name, const char* password,
                        bool trashed = false) {
        auto e = Info2Item::create(1, QString::fromLatin1(name));
        e->setPassword(QString::fromLatin1(password));
        e->isDeleted = trashed;
        parent.addSubItem(e);
    };
    add(root, "a", "one");
    add(*folder, "b", "two");
    add(*folder, "c", "one");
    add(root, "d", "two");
    add(root, "e", "one");
    add(root, "f", "two", true);
    add(root, "g", "");
    add(root, "h", "");
    add(root, "i", "ONE");
    root.addSubItem(folder);
    const auto groups = DuplicateFinder::samePassword(root);
    ASSERT_EQ(groups.size(), 2u);
    QStringList first;
    for (const auto& e : groups[0]) {
        first.append(e->description());
    }
    EXPECT_EQ(first, (QStringList{QStringLiteral("a"), QStringLiteral("e"), QStringLiteral("c")}));
    EXPECT_EQ(groups[1].size(), 2u);
}
