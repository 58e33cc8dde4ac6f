#pragma once
// The state of the one open database. It is open when the identity, the database and the
// credentials are all set; operations that need a database do nothing otherwise. Owned by the
// main manager and touched on the main thread only.

#include "core/DatabaseInfo.h"
#include "core/RemoteFileInfo.h"
#include "core/shared/Credentials.h"
#include "core/shared/Info2Item.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFile.h"

#include <QList>
#include <memory>
#include <optional>

namespace keskor {

class SessionManager {
public:
    std::optional<DatabaseInfo> currentDBInfo;
    std::optional<PassFile> currentPassFile;
    /// Used again for every save and backup.
    std::optional<Credentials> currentCredential;
    /// The remote file the database was downloaded from.
    std::shared_ptr<RemoteFileInfo> remoteFileInfo;
    bool isLocked = false;
    /// The internal copy-and-paste board.
    std::optional<QList<Info2Item>> copyInfoItems;
    std::optional<Info2Item> copyFolder;
    /// True only while an upload of the database runs.
    bool uploadingStatus = false;
    /// Derived keys of this session, so saving after an edit never derives again.
    KeyHelper keyHelper;

    bool isDatabaseOpen() const {
        return currentDBInfo.has_value() && currentPassFile.has_value() &&
               currentCredential.has_value();
    }

    /// Fills the session with a freshly opened database.
    void open(DatabaseInfo info, PassFile file, Credentials credentials,
              std::shared_ptr<RemoteFileInfo> remote = nullptr);
    /// Back to "no database": every field cleared, cached keys forgotten.
    void close();
};

} // namespace keskor
