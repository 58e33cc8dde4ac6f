#include "core/shared/ArchiveHelper.h"

#include "core/shared/CommonException.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <quazip.h>
#include <quazipfile.h>

using namespace keskor;
using keskor::test::FileSizeLimit;
using keskor::test::TempDir;

namespace {

void writeRawZip(const QString& path, const QString& entry, const QByteArray& bytes) {
    QuaZip zip(path);
    ASSERT_TRUE(zip.open(QuaZip::mdCreate));
    QuaZipFile f(&zip);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly, QuaZipNewInfo(entry)));
    f.write(bytes);
    f.close();
    zip.close();
}

// Incompressible bytes, the same for a given seed.
QByteArray noise(qsizetype size, quint32 state) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

TEST(ArchiveHelperTest, SingleEntryRoundTripAndUnzip) {
    TempDir dir;
    const QString zip = dir.file(QStringLiteral("a.pswe"));
    const QByteArray bytes = QByteArray(100000, 'x') + "end";
    ArchiveHelper::writeSingleEntry(zip, QStringLiteral("database.pswd"), bytes);
    EXPECT_TRUE(ArchiveHelper::isZipArchive(zip));
    EXPECT_EQ(ArchiveHelper::readEntry(zip, QStringLiteral("database.pswd")), bytes);
    EXPECT_THROW(ArchiveHelper::readEntry(zip, QStringLiteral("other")), CommonException);
    ASSERT_TRUE(ArchiveHelper::unzipFile(zip, dir.file(QStringLiteral("out/nested"))));
    EXPECT_EQ(dir.read(QStringLiteral("out/nested/database.pswd")), bytes);
}

TEST(ArchiveHelperTest, APlainFileIsNoArchiveAndAMissingOneAnError) {
    TempDir dir;
    dir.write(QStringLiteral("plain.pswd"), "KESKOR-DB/1\n{}");
    EXPECT_FALSE(ArchiveHelper::isZipArchive(dir.file(QStringLiteral("plain.pswd"))));
    EXPECT_FALSE(ArchiveHelper::unzipFile(dir.file(QStringLiteral("plain.pswd")),
                                          dir.file(QStringLiteral("o"))));
    EXPECT_THROW(ArchiveHelper::unzipFile(dir.file(QStringLiteral("missing")),
                                          dir.file(QStringLiteral("o"))),
                 CommonException);
}

TEST(ArchiveHelperTest, DamagedArchiveIsRefused) {
    TempDir dir;
    const QString zip = dir.file(QStringLiteral("d.pswe"));
    // Incompressible content, so offset 60 lies well inside the compressed data.
    ArchiveHelper::writeSingleEntry(zip, QStringLiteral("e"), noise(5000, 12345));
    QByteArray bytes = dir.read(QStringLiteral("d.pswe"));
    bytes[60] = static_cast<char>(bytes[60] ^ 0xff); // inside the compressed data
    dir.write(QStringLiteral("d.pswe"), bytes);
    EXPECT_THROW(ArchiveHelper::readEntry(zip, QStringLiteral("e")), CommonException);
    dir.write(QStringLiteral("t.pswe"), bytes.left(30));
    EXPECT_THROW(ArchiveHelper::readEntry(dir.file(QStringLiteral("t.pswe")), QStringLiteral("e")),
                 CommonException);
}

TEST(ArchiveHelperTest, EntryNamesLeavingTheFolderAreRefused) {
    TempDir dir;
    const QString zip = dir.file(QStringLiteral("evil.zip"));
    writeRawZip(zip, QStringLiteral("../escaped.txt"), "boo");
    EXPECT_THROW(ArchiveHelper::unzipFile(zip, dir.file(QStringLiteral("inside"))),
                 CommonException);
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("escaped.txt"))));
}

TEST(ArchiveHelperTest, AFailedWriteLeavesThePreviousArchive) {
    TempDir dir;
    const QString zip = dir.file(QStringLiteral("keep.pswe"));
    ArchiveHelper::writeSingleEntry(zip, QStringLiteral("e"), "first");
    const QByteArray big = noise(256 * 1024, 7);
    {
        // A file-size limit makes the write fail the way a full disk does, even for root.
        FileSizeLimit limit(16 * 1024);
        EXPECT_THROW(ArchiveHelper::writeSingleEntry(zip, QStringLiteral("e"), big),
                     CommonException);
    }
    EXPECT_EQ(ArchiveHelper::readEntry(zip, QStringLiteral("e")), QByteArray("first"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.pswe")})
        << "no temporary file is left behind";
}

TEST(ArchiveHelperTest, ZipFilesPacksByFileName) {
    TempDir dir;
    dir.write(QStringLiteral("one.txt"), "1");
    dir.write(QStringLiteral("two.txt"), "22");
    const QString zip = dir.file(QStringLiteral("both.zip"));
    ArchiveHelper::zipFiles(
        {dir.file(QStringLiteral("one.txt")), dir.file(QStringLiteral("two.txt"))}, zip);
    EXPECT_EQ(ArchiveHelper::readEntry(zip, QStringLiteral("two.txt")), QByteArray("22"));
}

} // namespace
