#include "core/RecentFileManager.h"

#include "platform/MemoryDefaultsStore.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

class RecentFileManagerTest : public ::testing::Test {
protected:
    MemoryDefaultsStore store;
    RecentFileManager recent{store};

    void storeRaw(const QStringList& texts) {
        store.setObject(QStringLiteral("key_recent_files"), texts);
    }
    static DatabaseInfo db(int n, Location location = Location::localDevice) {
        return {QStringLiteral("db%1.pswe").arg(n), QStringLiteral("/data/%1").arg(n), location,
                false};
    }
};

TEST_F(RecentFileManagerTest, StoredFormIsTheFourFieldsJoinedAndReadingWritesNothing) {
    EXPECT_TRUE(recent.recentFiles().isEmpty());
    EXPECT_FALSE(store.contains(QStringLiteral("key_recent_files")));
    recent.addRecentFile(
        {QStringLiteral("a.pswd"), QStringLiteral("/home/u"), Location::localDevice, false});
    recent.addRecentFile(
        {QStringLiteral("corp"), QStringLiteral("srv/corp"), Location::enterprise, true});
    EXPECT_EQ(store.stringList(QStringLiteral("key_recent_files")),
              (QStringList{QStringLiteral("corp***srv/corp***3***true"),
                           QStringLiteral("a.pswd***/home/u***0***false")}));
}

TEST_F(RecentFileManagerTest, MalformedElementsAreSkipped) {
    storeRaw({QStringLiteral("ok.pswd***/p***2***false"),
              QStringLiteral("twelve.pswd***/p***12***false"), // no location 12
              QStringLiteral("five***/p***0***false***extra"), // five parts
              QStringLiteral("***/p***0***false"),             // empty name
              QStringLiteral("x.pswd***/p***zero***false"),    // not a number
              QStringLiteral("y.pswd***/p***4***TRUE")});      // azure only for exactly "true"
    const QList<DatabaseInfo> list = recent.recentFiles();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0], (DatabaseInfo{QStringLiteral("ok.pswd"), QStringLiteral("/p"),
                                     Location::backupDevice, false}));
    EXPECT_EQ(list[1].location, Location::dropbox);
    EXPECT_FALSE(list[1].isAzure);
}

TEST_F(RecentFileManagerTest, AnEntryIsItsNameAndPathInAnyCaseAtItsLocation) {
    recent.addRecentFile(db(1));
    recent.addRecentFile(db(2));
    recent.addRecentFile(db(2, Location::dropbox));
    DatabaseInfo again = db(1);
    again.name = again.name.toUpper();
    again.path = again.path.toUpper();
    recent.addRecentFile(again);
    // A name running into the separator would be read back as another entry: not remembered.
    recent.addRecentFile(
        {QStringLiteral("star*"), QStringLiteral("/p"), Location::localDevice, false});
    EXPECT_EQ(recent.recentFiles(), (QList<DatabaseInfo>{again, db(2, Location::dropbox), db(2)}));
}

TEST_F(RecentFileManagerTest, TheEleventhDropsTheOldestAndAnOverlongStoredListIsCut) {
    for (int i = 1; i <= 11; ++i) {
        recent.addRecentFile(db(i));
    }
    QList<DatabaseInfo> list = recent.recentFiles();
    ASSERT_EQ(list.size(), 10);
    EXPECT_EQ(list.front(), db(11));
    EXPECT_EQ(list.back(), db(2));
    QStringList texts;
    for (int i = 0; i < 14; ++i) {
        texts.append(recent.encode(db(i)));
    }
    storeRaw(texts);
    list = recent.recentFiles();
    EXPECT_EQ(list.size(), 10);
    EXPECT_EQ(list.back(), db(9));
}

} // namespace
