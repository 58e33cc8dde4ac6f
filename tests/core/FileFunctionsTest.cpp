#include "core/FileFunctions.h"

#include "core/FilesHelper.h"
#include "core/shared/ArchiveHelper.h"
#include "core/shared/CommonException.h"
#include "core/shared/FileFormats.h"
#include "core/shared/KeyHelper.h"
#include "platform/AppPaths.h"
#include "testing/SampleDatabase.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::test::FileSizeLimit;
using keskor::test::TempDir;
using keskor::testing::SampleDatabase;

namespace {

class FileFunctionsTest : public ::testing::Test {
protected:
    TempDir dir;
    AppPaths paths{dir.file(QStringLiteral("profile"))};
    KeyHelper keys;
    Credentials creds{QStringLiteral("pw"), std::nullopt};

    QString messageOf(const std::function<void()>& fn) {
        try {
            fn();
        } catch (const CommonException& e) {
            return e.message();
        }
        return QStringLiteral("<none>");
    }
    PassFile readBack(const DatabaseInfo& info) {
        const PassFile header = FileFunctions::readDatabase(paths, info, nullptr, true);
        const Key256 key = keys.keyFromCredentials(header, creds);
        return FileFunctions::readDatabase(paths, info, &key, false);
    }
};

class StorageForms : public FileFunctionsTest,
                     public ::testing::WithParamInterface<PassFile::FileType> {};

TEST_P(StorageForms, WriteThenReadGivesTheSameDatabase) {
    PassFile file = SampleDatabase::full(GetParam());
    const Key256 key = keys.keyFromCredentials(file, creds);
    // A folder with a space and non-ASCII letters, named with percent-escapes as stored.
    const QString folder = dir.file(QStringLiteral("My Dätabases"));
    QDir().mkpath(folder);
    const DatabaseInfo info{QStringLiteral("Family%20DB.pswe"),
                            QString::fromLatin1(QUrl::toPercentEncoding(folder, "/")),
                            Location::localDevice};
    const QString target = FileFunctions::databaseFile(paths, info);
    EXPECT_EQ(target, QDir(folder).filePath(QStringLiteral("Family DB.pswe")));
    const double before = file.lastModified;
    FileFunctions::writeDatabase(target, key, file);
    EXPECT_GT(file.lastModified, before) << "stamped when written";
    EXPECT_EQ(ArchiveHelper::isZipArchive(target), GetParam() == PassFile::FileType::Zip);
    const PassFile loaded = readBack(info);
    EXPECT_TRUE(loaded.sameContent(file));
    EXPECT_FALSE(loaded.isModified());
}

INSTANTIATE_TEST_SUITE_P(Types, StorageForms,
                         ::testing::Values(PassFile::FileType::Plain, PassFile::FileType::Zip),
                         [](const auto& info) {
                             return std::string(info.param == PassFile::FileType::Zip ? "zip"
                                                                                      : "plain");
                         });

TEST_F(FileFunctionsTest, ThePlainTextInsideAnArchiveAndAnArchiveTypeStoredPlainBothOpen) {
    PassFile plainType = SampleDatabase::full(PassFile::FileType::Plain);
    const Key256 key = keys.keyFromCredentials(plainType, creds);
    const DatabaseInfo info{QStringLiteral("a.PSWD"), QString(), Location::protectedDevice};
    FileFunctions::workingFolder(paths, info.location, QString(), true);
    ArchiveHelper::writeSingleEntry(FileFunctions::databaseFile(paths, info),
                                    FileFormats::DATABASE_NAME, plainType.getData(key));
    EXPECT_TRUE(readBack(info).sameContent(plainType));
}

TEST_F(FileFunctionsTest, ForeignNamesMissingFilesAndForeignTypesAreClearErrors) {
    EXPECT_EQ(messageOf([&] {
                  FileFunctions::readDatabase(paths, {QStringLiteral("notes.txt"), dir.path()},
                                              nullptr, true);
              }),
              QStringLiteral("Unsupported file format"));
    EXPECT_TRUE(messageOf([&] {
                    FileFunctions::readDatabase(paths, {QStringLiteral("gone.pswd"), dir.path()},
                                                nullptr, true);
                }).contains(QStringLiteral("gone.pswd")));
    PassFile file = SampleDatabase::full();
    const Key256 key = keys.keyFromCredentials(file, creds);
    file.setFileType(static_cast<PassFile::FileType>(2));
    const QString target = dir.file(QStringLiteral("t.pswd"));
    EXPECT_THROW(FileFunctions::writeDatabase(target, key, file), CommonException);
    EXPECT_FALSE(QFile::exists(target)) << "nothing is written for a type we cannot write";
}

TEST_F(FileFunctionsTest, AFailedWriteKeepsThePreviousFile) {
    PassFile file = SampleDatabase::large(3000);
    const Key256 key = keys.keyFromCredentials(file, creds);
    const QString target = dir.file(QStringLiteral("keep.pswd"));
    PassFile small = SampleDatabase::full();
    const Key256 smallKey = keys.keyFromCredentials(small, creds);
    FileFunctions::writeDatabase(target, smallKey, small);
    const QByteArray before = dir.read(QStringLiteral("keep.pswd"));
    ASSERT_FALSE(before.isEmpty());
    const double stamp = file.lastModified;
    {
        FileSizeLimit limit(before.size() + 1024);
        EXPECT_THROW(FileFunctions::writeDatabase(target, key, file), CommonException);
    }
    EXPECT_EQ(dir.read(QStringLiteral("keep.pswd")), before);
    EXPECT_EQ(file.lastModified, stamp) << "a failed write does not stamp the database";
}

TEST_F(FileFunctionsTest, TerminationEmptiesOnlyTheCloudFolders) {
    QStringList kept, emptied;
    for (int raw = 1; raw <= 9; ++raw) {
        const auto location = static_cast<Location>(raw);
        const QString folder = FileFunctions::workingFolder(paths, location, QString(), true);
        QDir(folder).mkpath(QStringLiteral("nested/deeper"));
        QFile f(QDir(folder).filePath(QStringLiteral("copy-%1.pswe").arg(raw)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        (raw >= 4 ? emptied : kept).append(folder);
    }
    ASSERT_TRUE(FileFunctions::emptyCloudFolders(paths));
    for (const QString& folder : emptied) {
        EXPECT_TRUE(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            << qPrintable(folder);
    }
    for (const QString& folder : kept) {
        EXPECT_FALSE(QDir(folder).isEmpty()) << qPrintable(folder);
    }
}

TEST(FilesHelperTest, NameCheckIgnoresCaseAndOffersBothCases) {
    EXPECT_TRUE(FilesHelper::isSupported(QStringLiteral("a.pswd")));
    EXPECT_TRUE(FilesHelper::isSupported(QStringLiteral("B.PSWE")));
    EXPECT_FALSE(FilesHelper::isSupported(QStringLiteral("c.pswd.txt")));
    EXPECT_FALSE(FilesHelper::isSupported(QStringLiteral("pswd")));
    EXPECT_EQ(FilesHelper::archiveExtensions(),
              (QStringList{QStringLiteral("pswd"), QStringLiteral("PSWD"), QStringLiteral("pswe"),
                           QStringLiteral("PSWE")}));
}

} // namespace
