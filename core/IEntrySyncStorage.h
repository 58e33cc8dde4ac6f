#pragma once
// A remote store whose databases are edited entry by entry instead of being uploaded whole
// (the enterprise server). The session opens the database it downloaded straight from memory
// and hands every save to it, which sends the changes since the last save.

#include "core/IRemoteStorage.h"
#include "core/shared/Credentials.h"
#include "core/shared/PassFile.h"

#include <optional>

namespace keskor {

class IEntrySyncStorage {
public:
    struct OpenedDatabase {
        PassFile file;
        /// Seal the local copy of the database, when one is kept.
        Credentials credentials;
    };

    virtual ~IEntrySyncStorage() = default;

    /// The database the last successful downloadFile loaded; given out once.
    virtual std::optional<OpenedDatabase> takeDownloadedDatabase() = 0;
    /// Sends what changed in `current` since it was opened or last saved. Exactly one callback,
    /// on the main thread; after a failure the next save sends the remaining changes again.
    virtual void saveEntryChanges(const PassFile& current, IRemoteStorage::Success success,
                                  IRemoteStorage::Failure failure) = 0;
};

} // namespace keskor
