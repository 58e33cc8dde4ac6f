#pragma once
// Where a database lives. The raw values are stored (recent list, backups) and must not change.

#include <QString>
#include <optional>

namespace keskor {

enum class Location : int {
    localDevice = 0,
    protectedDevice = 1,
    backupDevice = 2,
    enterprise = 3,
    dropbox = 4,
    gDrive = 5,
    oneDrive = 6,
    box = 7,
    hiDrive = 8,
    ftp = 9,
};

class Locations {
public:
    /// The location of a stored raw value; none outside 0 to 9.
    static std::optional<Location> fromRaw(int raw);
    static int raw(Location location) { return static_cast<int>(location); }
    /// The working folder's name inside the documents folder; empty for `localDevice` (its
    /// folder is the database's own) and for `protectedDevice` (the documents folder itself).
    static QString workingFolderName(Location location);
    /// The scheme of the text form ("local", "backup", "dropbox", ...).
    static QString scheme(Location location);
    /// The cloud drives, whose working folders are emptied when the program ends.
    static bool isCloud(Location location);
};

} // namespace keskor
