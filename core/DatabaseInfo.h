#pragma once
// The identity of a database in the session, the recent list and the remote managers.

#include "core/Location.h"

#include <QString>

namespace keskor {

struct DatabaseInfo {
    /// File name with its extension; may hold percent-escapes.
    QString name;
    /// The folder of a local database, or the path on the remote store.
    QString path;
    Location location = Location::localDevice;
    /// An enterprise database reached through the Azure AD sign-in.
    bool isAzure = false;

    bool operator==(const DatabaseInfo&) const = default;
};

} // namespace keskor
