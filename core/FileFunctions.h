#pragma once
// The folders in which databases and their working copies live.

#include "core/DatabaseInfo.h"
#include "core/Location.h"

#include <QString>

namespace keskor {

class AppPaths;
class Key256;
class PassFile;

class FileFunctions {
public:
    /// The folder of a database at `location`: for `localDevice` the folder `path` itself,
    /// otherwise the location's working folder inside the documents folder. With `create` a
    /// missing folder is made with its parents; throws CommonException when that fails.
    static QString workingFolder(const AppPaths& paths, Location location, const QString& path,
                                 bool create);
    /// The local file of a database: its working folder and its name without escapes.
    static QString databaseFile(const AppPaths& paths, const DatabaseInfo& info);

    /// Reads a database in either storage form (a Zip archive holding the database entry, or
    /// the plain text), with `key` and the "no key" flag of PassFile::load. Throws
    /// CommonException: "Unsupported file format" for a foreign name, a clear text for a
    /// missing or unreadable file, and the load's own errors.
    static PassFile readDatabase(const AppPaths& paths, const DatabaseInfo& info, const Key256* key,
                                 bool noKey);
    /// Stamps the database as modified now and writes it, sealed with `key`, in the form of its
    /// file type to `target`, atomically: a failed write leaves the previous file. A type this
    /// version cannot write throws and writes nothing.
    static void writeDatabase(const QString& target, const Key256& key, PassFile& file);

    /// Empties the working folders of the cloud locations (and "Internet"); the local,
    /// backup and enterprise folders are left alone. Stops at the first removal error.
    static bool emptyCloudFolders(const AppPaths& paths);
};

} // namespace keskor
