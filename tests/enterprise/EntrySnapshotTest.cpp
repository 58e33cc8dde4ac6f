#include "enterprise/EntrySnapshot.h"

#include "tests/support/ItemTrees.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

TEST(EntrySnapshotTest, FoldersComeFirstDeletionsLastAndAFailedSaveResumes) {
    PassFile file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                            PassFile::AuthenticationType::Password, false);
    auto oldEntry = test::entry(QStringLiteral("In old"));
    auto old = test::folder(QStringLiteral("Old"), {oldEntry});
    auto kept = test::entry(QStringLiteral("Kept"));
    test::addAll(file, {old, kept});
    EntrySnapshot snapshot(file);
    EXPECT_TRUE(snapshot.diff(file).empty());

    // An entry in a new folder inside a new folder, a moved and changed entry, a deleted folder.
    auto fresh = test::entry(QStringLiteral("Fresh"));
    auto inner = test::folder(QStringLiteral("Inner"), {fresh});
    auto outer = test::folder(QStringLiteral("Outer"), {inner});
    file.addItem(outer);
    auto moved = file.root().removeSubItem(kept.get());
    moved->setUserName(QStringLiteral("ann"));
    outer->addSubItem(moved);
    file.root().removeSubItem(old.get());

    using C = ProtocolCommand;
    const std::vector<std::pair<C, QString>> expected{
        {C::addFolder, outer->fingerprint()},  {C::addFolder, inner->fingerprint()},
        {C::addItem, fresh->fingerprint()},    {C::moveItem, kept->fingerprint()},
        {C::updateItem, kept->fingerprint()},  {C::deleteItem, oldEntry->fingerprint()},
        {C::deleteFolder, old->fingerprint()},
    };
    const auto order = [](const std::vector<EntrySnapshot::Edit>& edits) {
        std::vector<std::pair<C, QString>> out;
        for (const auto& e : edits) {
            out.emplace_back(e.command, e.itemId);
        }
        return out;
    };
    const std::vector<EntrySnapshot::Edit> edits = snapshot.diff(file);
    ASSERT_EQ(order(edits), expected);
    EXPECT_EQ(edits[1].parentId, outer->fingerprint());

    // The server took the first three: the next save sends exactly the rest.
    for (std::size_t i = 0; i < 3; ++i) {
        snapshot.apply(edits[i]);
    }
    const std::vector<std::pair<C, QString>> rest(expected.begin() + 3, expected.end());
    EXPECT_EQ(order(snapshot.diff(file)), rest);
    for (const auto& e : snapshot.diff(file)) {
        snapshot.apply(e);
    }
    EXPECT_TRUE(snapshot.diff(file).empty());
}

} // namespace
} // namespace keskor
