// Session state, entry kinds, remote files and their storages.
// The copy notice is checked through the clipboard helper, its only user.

#include "core/EntryType.h"
#include "core/RemoteFileInfo.h"
#include "core/RemoteStorageManager.h"
#include "core/SessionManager.h"
#include "testing/RecordingRemoteStorage.h"
#include "testing/SampleDatabase.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

TEST(SessionManagerTest, IsOpenOnlyWithAllThreeParts) {
    SessionManager session;
    EXPECT_FALSE(session.isDatabaseOpen());
    session.currentDBInfo = DatabaseInfo{QStringLiteral("a.pswd"), QStringLiteral("/p")};
    session.currentPassFile = keskor::testing::SampleDatabase::full();
    EXPECT_FALSE(session.isDatabaseOpen()) << "no credentials";
    session.currentCredential = Credentials(QStringLiteral("pw"), std::nullopt);
    EXPECT_TRUE(session.isDatabaseOpen());
    session.currentPassFile.reset();
    EXPECT_FALSE(session.isDatabaseOpen());
}

TEST(SessionManagerTest, CloseClearsEverythingAndForgetsDerivedKeys) {
    SessionManager session;
    PassFile file = keskor::testing::SampleDatabase::full();
    const Credentials creds(QStringLiteral("pw"), std::nullopt);
    session.keyHelper.keyFromCredentials(file, creds);
    session.open({QStringLiteral("a.pswd"), QStringLiteral("/p")}, file, creds,
                 std::make_shared<RemoteFileInfo>(QStringLiteral("/remote/a.pswd")));
    session.keyHelper.keyFromCredentials(*session.currentPassFile, creds);
    EXPECT_EQ(session.keyHelper.kdfRuns(), 1) << "opening keeps the key the opener derived";
    session.isLocked = true;
    session.uploadingStatus = true;
    session.copyFolder = *file.items().front();
    session.close();
    EXPECT_FALSE(session.isDatabaseOpen());
    EXPECT_FALSE(session.currentDBInfo || session.currentPassFile || session.currentCredential ||
                 session.remoteFileInfo || session.copyFolder || session.isLocked ||
                 session.uploadingStatus);
    session.keyHelper.keyFromCredentials(file, creds);
    EXPECT_EQ(session.keyHelper.kdfRuns(), 2);
}

TEST(EntryTypeTest, RawValuesEndWithUnknown) {
    EXPECT_EQ(EntryTypes::fromRaw(0), EntryType::Folder);
    EXPECT_EQ(EntryTypes::fromRaw(7), EntryType::EncryptedFile);
    EXPECT_EQ(EntryTypes::fromRaw(13), EntryType::Unknown);
    EXPECT_EQ(EntryTypes::fromRaw(14), std::nullopt);
    EXPECT_EQ(EntryTypes::fromRaw(-1), std::nullopt);
}

struct SizeCase {
    qint64 size;
    const char* text;
};

class RemoteFileSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(RemoteFileSize, ReadsWithItsUnit) {
    RemoteFileInfo file(QStringLiteral("/dir/sub/db.pswe"), QStringLiteral("id-1"));
    file.size = GetParam().size;
    EXPECT_EQ(file.sizeString([](const QString& key) { return key; }),
              QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Boundaries, RemoteFileSize,
                         ::testing::Values(SizeCase{0, ""}, SizeCase{1, "1 Bytes"},
                                           SizeCase{1024, "1024 Bytes"}, SizeCase{1025, "1.00 KB"},
                                           SizeCase{1048576, "1024.00 KB"},
                                           SizeCase{1048577, "1.00 MB"},
                                           SizeCase{5 * 1048576 + 524288, "5.50 MB"}),
                         [](const auto& info) { return "size" + std::to_string(info.param.size); });

TEST(RemoteFileInfoTest, NameIsTheLastComponentAndTheDateHasItsPattern) {
    RemoteFileInfo file(QStringLiteral("/dir/sub/db.pswe"));
    EXPECT_EQ(file.name, QStringLiteral("db.pswe"));
    EXPECT_EQ(RemoteFileInfo(QStringLiteral("plain")).name, QStringLiteral("plain"));
    EXPECT_TRUE(file.modifiedString().isEmpty());
    file.modified = QDateTime(QDate(2026, 3, 7), QTime(15, 4, 5));
    EXPECT_EQ(file.modifiedString(), QStringLiteral("03/07/2026 03:04:05 PM"));
}

TEST(RemoteStorageManagerTest, OneStoragePerRemoteLocationNoneForLocalOnes) {
    int made = 0;
    RemoteStorageManager manager([&](Location) {
        ++made;
        return std::make_unique<keskor::testing::RecordingRemoteStorage>();
    });
    for (const Location local : {Location::localDevice, Location::protectedDevice,
                                 Location::backupDevice, Location::ftp}) {
        EXPECT_EQ(manager.storage(local), nullptr);
    }
    EXPECT_EQ(made, 0) << "no storage is made for a location without one";
    IRemoteStorage* dropbox = manager.storage(Location::dropbox);
    ASSERT_NE(dropbox, nullptr);
    EXPECT_EQ(manager.storage(Location::dropbox), dropbox);
    EXPECT_NE(manager.storage(Location::box), dropbox);
    EXPECT_EQ(made, 2);
    EXPECT_EQ(RemoteStorageManager().storage(Location::dropbox), nullptr)
        << "without providers no location has a store";
}

} // namespace
