#pragma once
// Text forms of a database's identity, for the location bar, the recent menu and messages.

#include "core/DatabaseInfo.h"

#include <QString>

namespace keskor {

class DatabaseInfoHelper {
public:
    /// "<scheme>:/<path>/<name>"; a `localDevice` path is shown without its percent-escapes.
    static QString text(const DatabaseInfo& info);
    /// The local file of a local or working-copy database: folder and name joined.
    static QString filePath(const QString& folder, const DatabaseInfo& info);
    /// The identity of a database file on the local disk, from its path.
    static DatabaseInfo localFile(const QString& path);
};

} // namespace keskor
