#include "core/Location.h"

#include "core/DatabaseInfoHelper.h"
#include "core/FileFunctions.h"
#include "core/shared/CommonException.h"
#include "platform/AppPaths.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::test::TempDir;

namespace {

struct LocationRow {
    int raw;
    Location location;
    const char* folder;
    const char* text; // text form of {name "db.pswe", path "/x"}
};

class LocationTable : public ::testing::TestWithParam<LocationRow> {};

TEST_P(LocationTable, RawValueFolderAndTextForm) {
    const LocationRow& row = GetParam();
    EXPECT_EQ(Locations::fromRaw(row.raw), row.location);
    EXPECT_EQ(Locations::raw(row.location), row.raw);
    EXPECT_EQ(Locations::workingFolderName(row.location), QString::fromUtf8(row.folder));
    EXPECT_EQ(
        DatabaseInfoHelper::text({QStringLiteral("db.pswe"), QStringLiteral("/x"), row.location}),
        QString::fromUtf8(row.text));
}

INSTANTIATE_TEST_SUITE_P(
    AllLocations, LocationTable,
    ::testing::Values(LocationRow{0, Location::localDevice, "", "local://x/db.pswe"},
                      LocationRow{1, Location::protectedDevice, "", "local://x/db.pswe"},
                      LocationRow{2, Location::backupDevice, "Backups", "backup://x/db.pswe"},
                      LocationRow{3, Location::enterprise, "Network", "enterprise://x/db.pswe"},
                      LocationRow{4, Location::dropbox, "Dropbox", "dropbox://x/db.pswe"},
                      LocationRow{5, Location::gDrive, "GDrive", "gDrive://x/db.pswe"},
                      LocationRow{6, Location::oneDrive, "OneDrive", "oneDrive://x/db.pswe"},
                      LocationRow{7, Location::box, "Box", "box://x/db.pswe"},
                      LocationRow{8, Location::hiDrive, "HiDrive", "hiDrive://x/db.pswe"},
                      LocationRow{9, Location::ftp, "Internet", "ftp://x/db.pswe"}),
    [](const auto& info) { return "raw" + std::to_string(info.param.raw); });

TEST(LocationTest, RawValuesOutsideTheTableHaveNoLocation) {
    EXPECT_EQ(Locations::fromRaw(-1), std::nullopt);
    EXPECT_EQ(Locations::fromRaw(10), std::nullopt);
    EXPECT_EQ(Locations::fromRaw(12), std::nullopt);
}

TEST(LocationTest, OnlyTheLocalPathLosesItsPercentEscapes) {
    const QString path = QStringLiteral("/home/u/My%20Files");
    EXPECT_EQ(DatabaseInfoHelper::text({QStringLiteral("a.pswd"), path, Location::localDevice}),
              QStringLiteral("local://home/u/My Files/a.pswd"));
    EXPECT_EQ(DatabaseInfoHelper::text({QStringLiteral("a.pswd"), path, Location::protectedDevice}),
              QStringLiteral("local://home/u/My%20Files/a.pswd"));
}

TEST(WorkingFolderTest, IsMadeWithItsParentsOnlyWhenAsked) {
    TempDir dir;
    const AppPaths paths(dir.file(QStringLiteral("profile")));
    const QString box = FileFunctions::workingFolder(paths, Location::box, QString(), false);
    EXPECT_EQ(box, QDir(paths.documents()).filePath(QStringLiteral("Box")));
    EXPECT_FALSE(QFileInfo::exists(box));
    EXPECT_EQ(FileFunctions::workingFolder(paths, Location::box, QString(), true), box);
    EXPECT_TRUE(QFileInfo(box).isDir());
    EXPECT_EQ(FileFunctions::workingFolder(paths, Location::protectedDevice, QString(), true),
              paths.documents());
    const QString local = dir.file(QStringLiteral("a folder/with ünïcode"));
    EXPECT_EQ(FileFunctions::workingFolder(paths, Location::localDevice,
                                           QString::fromLatin1(QUrl::toPercentEncoding(local, "/")),
                                           true),
              local);
    EXPECT_TRUE(QFileInfo(local).isDir());
}

TEST(WorkingFolderTest, AFolderThatCannotBeMadeIsAClearError) {
    TempDir dir;
    dir.write(QStringLiteral("file"), "not a folder");
    const AppPaths paths(dir.file(QStringLiteral("file")));
    try {
        FileFunctions::workingFolder(paths, Location::dropbox, QString(), true);
        FAIL() << "no error";
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Dropbox")));
    }
}

} // namespace
