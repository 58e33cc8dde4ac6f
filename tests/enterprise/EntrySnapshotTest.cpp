#include "enterprise/EntrySnapshot.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

TEST(EntrySnapshotTest, FoldersComeFirstDeletionsLastAndAFailedSaveResumes) {
    PassFile file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                            PassFile::AuthenticationType::Password, false);
    auto old = Info2Item::createFolder(QStringLiteral("Old"));
    auto oldEntry = Info2Item::create(Info2Item::TypePassword, QStringLiteral("In old"));
    old->addSubItem(oldEntry);
    auto kept = Info2Item::create(Info2Item::TypePassword, QStringLiteral("Kept"));
    file.addItem(old);
    file.addItem(kept);
    EntrySnapshot snapshot(file);
    EXPECT_TRUE(snapshot.diff(file).empty());

    // An entry in a new folder inside a new folder, a moved and changed entry, a deleted folder.
    auto outer = Info2Item::createFolder(QStringLiteral("Outer"));
    auto inner = Info2Item::createFolder(QStringLiteral("Inner"));
    auto fresh = Info2Item::create(Info2Item::TypePassword, QStringLiteral("Fresh"));
    inner->addSubItem(fresh);
    outer->addSubItem(inner);
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
