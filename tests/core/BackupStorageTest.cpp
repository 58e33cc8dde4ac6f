#include "core/BackupStorage.h"

#include "core/FileFunctions.h"
#include "core/shared/ArchiveHelper.h"
#include "core/shared/CommonException.h"
#include "core/shared/Credentials.h"
#include "core/shared/FileFormats.h"
#include "core/shared/KeyHelper.h"
#include "platform/AppPaths.h"
#include "platform/MainThread.h"
#include "testing/SampleDatabase.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::testing::SampleDatabase;

namespace {

QStringList namesOf(const QList<BackupFileInfo>& backups) {
    QStringList names;
    for (const BackupFileInfo& b : backups) {
        names.append(b.name);
    }
    return names;
}

class BackupStorageTest : public ::testing::Test {
protected:
    BackupStorageTest()
        : paths(temp.file(QStringLiteral("profile"))), storage(paths, [this] { return count; }) {
        database = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                           PassFile::AuthenticationType::Password, false);
        database.setKdfParameters(SampleDatabase::kFastKdfMemory, SampleDatabase::kFastKdfPasses);
        key = keys.keyFromCredentials(database, Credentials(QStringLiteral("pw"), std::nullopt));
    }

    /// One backup of `base` whose content says which save it was.
    QString save(const QString& base, int n) {
        database.comments = QStringLiteral("save %1").arg(n);
        return storage.createBackup(base, key, database);
    }

    QString inRoot(const QString& fileName) const {
        return QDir(storage.root()).filePath(fileName);
    }

    BackupFileInfo infoFor(const QString& fileName) const {
        return BackupFileInfo{fileName, QUrl::fromLocalFile(inRoot(fileName)), {}, 0};
    }

    /// The save a backup holds, read back the way the open workflow reads it.
    QString contentOf(const QString& fileName) const {
        return *FileFunctions::readDatabase(paths, storage.openBackup(infoFor(fileName)), &key,
                                            false)
                    .comments;
    }

    QStringList filesInRoot() const {
        // Hidden files too, so a staging file left behind would show.
        return QDir(storage.root()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    test::TempDir temp;
    AppPaths paths;
    int count = BackupStorage::kDefaultBackupCount;
    BackupStorage storage;
    KeyHelper keys;
    PassFile database;
    Key256 key;
};

// ---- rotation ----

/// The count in force, then the backups `first` to `last` of "Vault", made at once or started
/// on the pool; `deleteSlot` is deleted before them.
struct RotationStep {
    int count;
    int first;
    int last;
    int deleteSlot = -1;
    bool started = false;
};

struct RotationCase {
    const char* label;
    std::vector<RotationStep> steps;
    /// Every file afterwards with the save it holds: "Vault=1 Vault_1=2".
    const char* slots;
};

class BackupRotationTest : public BackupStorageTest,
                           public ::testing::WithParamInterface<RotationCase> {};

TEST_P(BackupRotationTest, EachSlotHoldsTheSaveTheRotationPutsThere) {
    QString newest;
    int newestSave = 0;
    for (const RotationStep& step : GetParam().steps) {
        count = step.count;
        if (step.deleteSlot >= 0) {
            ASSERT_TRUE(storage.deleteBackup(
                infoFor(BackupStorage::backupFileName(QStringLiteral("Vault"), step.deleteSlot))));
        }
        for (int n = step.first; n <= step.last; ++n) {
            database.comments = QStringLiteral("save %1").arg(n);
            if (step.started) {
                storage.startBackup(QStringLiteral("Vault"), key, database);
            } else {
                newest = storage.createBackup(QStringLiteral("Vault"), key, database);
                newestSave = n;
            }
        }
    }
    storage.waitForBackups();
    QStringList expected;
    for (const QString& slot : QString::fromLatin1(GetParam().slots).split(u' ')) {
        const QString name = slot.section(u'=', 0, 0) + QStringLiteral(".pswd");
        expected.append(name);
        EXPECT_EQ(contentOf(name), QStringLiteral("save ") + slot.section(u'=', 1))
            << name.toStdString();
    }
    QStringList files = filesInRoot();
    files.sort();
    expected.sort();
    EXPECT_EQ(files, expected) << "no other file, no staging file left";
    EXPECT_EQ(contentOf(QFileInfo(newest).fileName()), QStringLiteral("save %1").arg(newestSave));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, BackupRotationTest,
    ::testing::Values(
        RotationCase{
            "TheNinthOfSevenReplacesOnlyTheLast",
            {{7, 1, 9}},
            "Vault=1 Vault_1=2 Vault_2=3 Vault_3=4 Vault_4=5 Vault_5=6 Vault_6=7 Vault_7=9"},
        // Counts below one act as one, so the slot numbers stay bounded.
        RotationCase{"CountOne", {{1, 1, 4}}, "Vault=1 Vault_1=4"},
        RotationCase{"CountZero", {{0, 1, 4}}, "Vault=1 Vault_1=4"},
        RotationCase{"CountNegative", {{-5, 1, 4}}, "Vault=1 Vault_1=4"},
        RotationCase{"ADeletedSlotIsFilledOnceTheLastIsGivenUp",
                     {{7, 1, 8}, {7, 9, 9, 3}},
                     "Vault=1 Vault_1=2 Vault_2=3 Vault_3=9 Vault_4=5 Vault_5=6 Vault_6=7"},
        RotationCase{
            "ASmallerCountRotatesInItsLastSlotAndLeavesHigherOnes",
            {{7, 1, 8}, {3, 9, 10}},
            "Vault=1 Vault_1=2 Vault_2=3 Vault_3=10 Vault_4=5 Vault_5=6 Vault_6=7 Vault_7=8"},
        RotationCase{"ALargerCountAddsSlotsWithoutDeletingAny",
                     {{2, 1, 4}, {4, 5, 7}},
                     "Vault=1 Vault_1=2 Vault_2=4 Vault_3=5 Vault_4=7"},
        // One at a time in their order, and a backup made at once comes after them.
        RotationCase{"BackupsStartedOnThePool",
                     {{2, 1, 6, -1, true}, {2, 7, 7}},
                     "Vault=1 Vault_1=2 Vault_2=7"}),
    [](const ::testing::TestParamInfo<RotationCase>& info) { return info.param.label; });

TEST_F(BackupStorageTest, DatabasesWithSimilarNamesRotateApart) {
    count = 1;
    for (int n = 1; n <= 3; ++n) {
        save(QStringLiteral("Vault"), n);
        save(QStringLiteral("Vault_1"), 10 + n);
    }
    EXPECT_EQ(filesInRoot(), (QStringList{"Vault.pswd", "Vault_1.pswd", "Vault_1_1.pswd"}));
    // "Vault_1.pswd" is both the first backup of "Vault_1" and the last slot of "Vault", so
    // the two share it; neither reaches into the other's other files.
    EXPECT_EQ(contentOf(QStringLiteral("Vault.pswd")), QStringLiteral("save 1"));
    EXPECT_EQ(contentOf(QStringLiteral("Vault_1_1.pswd")), QStringLiteral("save 13"));
}

// ---- failures ----

TEST_F(BackupStorageTest, AFailedWriteInAReadOnlyFolderKeepsEveryEarlierBackup) {
    count = 2;
    for (int n = 1; n <= 3; ++n) {
        save(QStringLiteral("Vault"), n);
    }
    QMap<QString, QByteArray> before;
    for (const QString& name : filesInRoot()) {
        QFile f(inRoot(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        before.insert(name, f.readAll());
    }
    const auto writable = QFile::permissions(storage.root());
    ASSERT_TRUE(QFile::setPermissions(storage.root(), QFile::ReadOwner | QFile::ExeOwner));
    QString message;
    {
        // Permissions do not stop root; a tiny file-size limit fails the write for anyone.
        test::FileSizeLimit limit(64);
        try {
            save(QStringLiteral("Vault"), 4);
        } catch (const CommonException& e) {
            message = e.message();
        }
    }
    QFile::setPermissions(storage.root(), writable);
    ASSERT_FALSE(message.isEmpty()) << "the failed write must be reported";
    EXPECT_TRUE(message.contains(QStringLiteral("Vault_2.pswd"))) << message.toStdString();
    EXPECT_EQ(filesInRoot(), before.keys()) << "no file added, none removed, no temporary left";
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QFile f(inRoot(it.key()));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), it.value()) << it.key().toStdString();
    }
}

TEST_F(BackupStorageTest, AFolderInTheLastSlotStopsTheBackupWithAClearError) {
    count = 1;
    save(QStringLiteral("Vault"), 1);
    ASSERT_TRUE(QDir().mkpath(inRoot(QStringLiteral("Vault_1.pswd"))));
    try {
        save(QStringLiteral("Vault"), 2);
        FAIL() << "a folder cannot be given up as a slot";
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Vault_1.pswd")));
    }
    EXPECT_EQ(contentOf(QStringLiteral("Vault.pswd")), QStringLiteral("save 1"));
}

TEST_F(BackupStorageTest, RefusesBaseNamesThatAreNoFileNamesAndDatabasesWithoutContent) {
    for (const QString& bad : {QString(), QStringLiteral("."), QStringLiteral(".."),
                               QStringLiteral("../Escape"), QStringLiteral("a/b")}) {
        EXPECT_THROW(storage.createBackup(bad, key, database), CommonException)
            << bad.toStdString();
    }
    PassFile headerOnly;
    headerOnly.load(database.getData(key), nullptr, true);
    EXPECT_THROW(storage.createBackup(QStringLiteral("Vault"), key, headerOnly), CommonException);
    EXPECT_TRUE(QDir(paths.documents()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(filesInRoot().isEmpty());
}

// ---- listing ----

TEST_F(BackupStorageTest, ListingArrivesLaterOnTheMainThreadAndSkipsForeignEntries) {
    EXPECT_TRUE(storage.backups().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(storage.root())) << "listing does not create the folder";
    QDir root(storage.root());
    ASSERT_TRUE(root.mkpath(QStringLiteral("inner")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("folder.pswd")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("Vault_1.pswd"))); // a foreign folder in a slot
    temp.write(QStringLiteral("profile/documents/Backups/notes.txt"), "text");
    temp.write(QStringLiteral("profile/documents/Backups/Vault.pswd.bak"), "old");
    temp.write(QStringLiteral("profile/documents/Backups/Other.PSWE"), "not even a database");
    temp.write(QStringLiteral("profile/documents/Backups/inner/deep.pswd"), "nested");
    temp.write(QStringLiteral("profile/documents/Backups/locked.pswd"), "unreadable");
    ASSERT_TRUE(QFile::setPermissions(inRoot(QStringLiteral("locked.pswd")), {}));
    ASSERT_TRUE(
        QFile::link(inRoot(QStringLiteral("missing")), inRoot(QStringLiteral("gone.pswd"))));

    save(QStringLiteral("Vault"), 1);
    EXPECT_EQ(save(QStringLiteral("Vault"), 2), inRoot(QStringLiteral("Vault_2.pswd")))
        << "the slot held by a foreign folder is skipped, not replaced";
    EXPECT_TRUE(QFileInfo(inRoot(QStringLiteral("Vault_1.pswd"))).isDir());

    std::optional<QList<BackupFileInfo>> listed;
    bool onMain = false;
    storage.list([&](QList<BackupFileInfo> backups) {
        onMain = MainThread::isCurrent();
        listed = std::move(backups);
    });
    EXPECT_FALSE(listed.has_value()) << "the completion never runs inside the call";
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed.has_value(); }, 5000));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(namesOf(*listed),
              (QStringList{"locked.pswd", "Other.PSWE", "Vault.pswd", "Vault_2.pswd"}));
    QFile::setPermissions(inRoot(QStringLiteral("locked.pswd")),
                          QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(BackupStorageTest, SlotsListInNumericOrderWithTheirFileFacts) {
    count = 11;
    for (int n = 1; n <= 12; ++n) {
        save(QStringLiteral("Vault"), n);
    }
    const QList<BackupFileInfo> listed = storage.backups();
    QStringList expected{QStringLiteral("Vault.pswd")};
    for (int slot = 1; slot <= 11; ++slot) {
        expected.append(QStringLiteral("Vault_%1.pswd").arg(slot));
    }
    EXPECT_EQ(namesOf(listed), expected);
    for (const BackupFileInfo& b : listed) {
        const QFileInfo file(inRoot(b.name));
        EXPECT_EQ(b.path, QUrl::fromLocalFile(file.absoluteFilePath()));
        EXPECT_EQ(b.size, file.size());
        EXPECT_EQ(b.modified, file.lastModified());
    }
}

TEST_F(BackupStorageTest, SortsByEachColumnBothWays) {
    const QDateTime now = QDateTime::currentDateTime();
    const struct {
        const char* name;
        int bytes;
        int daysOld;
    } files[] = {{"a.pswd", 300, 3}, {"B.pswd", 10, 1}, {"c.pswd", 100, 2}};
    ASSERT_TRUE(QDir().mkpath(storage.root()));
    for (const auto& f : files) {
        temp.write(QStringLiteral("profile/documents/Backups/") + QString::fromLatin1(f.name),
                   QByteArray(f.bytes, 'x'));
        QFile file(inRoot(QString::fromLatin1(f.name)));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(now.addDays(-f.daysOld), QFileDevice::FileModificationTime));
    }
    QList<BackupFileInfo> listed = storage.backups();
    EXPECT_EQ(namesOf(listed), (QStringList{"a.pswd", "B.pswd", "c.pswd"}));
    BackupStorage::sort(listed, BackupStorage::SortKey::size);
    EXPECT_EQ(namesOf(listed), (QStringList{"B.pswd", "c.pswd", "a.pswd"}));
    BackupStorage::sort(listed, BackupStorage::SortKey::modified);
    EXPECT_EQ(namesOf(listed), (QStringList{"a.pswd", "c.pswd", "B.pswd"}));
    BackupStorage::sort(listed, BackupStorage::SortKey::modified, Qt::DescendingOrder);
    EXPECT_EQ(namesOf(listed), (QStringList{"B.pswd", "c.pswd", "a.pswd"}));
    BackupStorage::sort(listed, BackupStorage::SortKey::name, Qt::DescendingOrder);
    EXPECT_EQ(namesOf(listed), (QStringList{"c.pswd", "B.pswd", "a.pswd"}));
}

// ---- delete and open ----

TEST_F(BackupStorageTest, DeleteRemovesOnlyExistingBackupsInTheFolder) {
    save(QStringLiteral("Vault"), 1);
    save(QStringLiteral("Vault"), 2);
    const BackupFileInfo first = storage.backups().front();
    EXPECT_TRUE(storage.deleteBackup(first));
    EXPECT_FALSE(QFile::exists(inRoot(QStringLiteral("Vault.pswd"))));
    EXPECT_FALSE(storage.deleteBackup(first)) << "already gone";
    EXPECT_EQ(namesOf(storage.backups()), QStringList{QStringLiteral("Vault_1.pswd")});

    temp.write(QStringLiteral("elsewhere.pswd"), "keep me");
    const BackupFileInfo outside{QStringLiteral("elsewhere.pswd"),
                                 QUrl::fromLocalFile(temp.file(QStringLiteral("elsewhere.pswd"))),
                                 {},
                                 0};
    EXPECT_FALSE(storage.deleteBackup(outside));
    EXPECT_TRUE(QFile::exists(temp.file(QStringLiteral("elsewhere.pswd"))));
    BackupFileInfo sneaky = infoFor(QStringLiteral("../../../elsewhere.pswd"));
    EXPECT_FALSE(storage.deleteBackup(sneaky));
    EXPECT_THROW(storage.openBackup(outside), CommonException);
    EXPECT_TRUE(QFile::exists(temp.file(QStringLiteral("elsewhere.pswd"))));

    ASSERT_TRUE(QDir().mkpath(inRoot(QStringLiteral("folder.pswd"))));
    EXPECT_FALSE(storage.deleteBackup(infoFor(QStringLiteral("folder.pswd"))));
    EXPECT_TRUE(QFileInfo(inRoot(QStringLiteral("folder.pswd"))).isDir());
}

class BackupOpenTest : public BackupStorageTest,
                       public ::testing::WithParamInterface<PassFile::FileType> {};

TEST_P(BackupOpenTest, ABackupOpensBackWithTheSameContentInTheZipForm) {
    PassFile full = SampleDatabase::full(GetParam());
    const Key256 fullKey =
        keys.keyFromCredentials(full, Credentials(QStringLiteral("pw"), std::nullopt));
    const PassFile untouched = full;
    const QString written = storage.createBackup(QStringLiteral("Family"), fullKey, full);
    EXPECT_TRUE(full.sameContent(untouched)) << "a backup does not stamp the open database";
    EXPECT_TRUE(ArchiveHelper::isZipArchive(written));
    EXPECT_NO_THROW(ArchiveHelper::readEntry(written, FileFormats::DATABASE_NAME));

    const QList<BackupFileInfo> listed = storage.backups();
    ASSERT_EQ(listed.size(), 1);
    const DatabaseInfo info = storage.openBackup(listed.front());
    EXPECT_EQ(info.location, Location::backupDevice);
    EXPECT_EQ(info.name, QStringLiteral("Family.pswd"));
    EXPECT_EQ(info.path, storage.root());
    const PassFile reopened = FileFunctions::readDatabase(paths, info, &fullKey, false);
    EXPECT_TRUE(reopened.sameContent(full));

    QFile::remove(written);
    EXPECT_THROW(storage.openBackup(listed.front()), CommonException);
}

INSTANTIATE_TEST_SUITE_P(FileTypes, BackupOpenTest,
                         ::testing::Values(PassFile::FileType::Plain, PassFile::FileType::Zip),
                         [](const auto& info) {
                             return info.param == PassFile::FileType::Plain ? "Plain" : "Zip";
                         });

// ---- names ----

struct NameCase {
    const char* label;
    QString databaseName;
    QString baseName;
    QString listedName;
};

class BackupNameTest : public BackupStorageTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(BackupNameTest, BaseNameFileAndListingAgreeAndTheBackupOpens) {
    const NameCase& c = GetParam();
    const QString base = BackupStorage::backupBaseName(c.databaseName);
    EXPECT_EQ(base, c.baseName);
    const QString written = storage.createBackup(base, key, database);
    EXPECT_EQ(QFileInfo(written).fileName(), c.baseName + QStringLiteral(".pswd"));
    const QList<BackupFileInfo> listed = storage.backups();
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed.front().name, c.listedName);
    EXPECT_EQ(QFileInfo(listed.front().path.toLocalFile()).fileName(),
              QFileInfo(written).fileName());
    const DatabaseInfo info = storage.openBackup(listed.front());
    EXPECT_TRUE(FileFunctions::readDatabase(paths, info, &key, false).sameContent(database));
    EXPECT_TRUE(storage.deleteBackup(listed.front()));
}

INSTANTIATE_TEST_SUITE_P(
    Names, BackupNameTest,
    ::testing::Values(
        NameCase{"Spaces", "Mein Tresor.pswe", "Mein Tresor", "Mein Tresor.pswd"},
        NameCase{"Umlauts", "Grüße Ärger.pswd", "Grüße Ärger", "Grüße Ärger.pswd"},
        NameCase{"PercentEscapeKept", "My%20Vault.pswe", "My%20Vault", "My Vault.pswd"},
        NameCase{"LonePercent", "100%.pswe", "100%", "100%.pswd"},
        NameCase{"NoExtension", "Vault", "Vault", "Vault.pswd"},
        NameCase{"SeveralDots", "family.2024.pswe", "family.2024", "family.2024.pswd"},
        NameCase{"Hash", "Notes #1.pswe", "Notes #1", "Notes #1.pswd"},
        NameCase{"ColonFirst", "2024: Budget.pswe", "2024: Budget", "2024: Budget.pswd"},
        NameCase{"Empty", "", "untitled", "untitled.pswd"},
        NameCase{"OnlyAnExtension", ".pswe", ".pswe", ".pswe.pswd"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.label; });

} // namespace
