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
#include <array>
#include <memory>
#include <optional>

namespace keskor {

class SessionManager {
public:
    std::optional<DatabaseInfo> currentDBInfo;
    std::optional<PassFile> currentPassFile;
    /// Used again for every save and backup; dropped while the session is locked.
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

    /// Open also while locked: the database stays loaded, only its credentials are gone.
    bool isDatabaseOpen() const {
        return currentDBInfo.has_value() && currentPassFile.has_value() &&
               (currentCredential.has_value() || m_unlockCheck.has_value());
    }
    /// The credentials of the open database; throws CommonException while they are dropped.
    const Credentials& credentials() const;

    /// Locks the session: the credentials and every derived key are wiped, and only a keyed
    /// digest of the database key is kept to recognise the right credentials again. Guessing
    /// from that digest costs a full key derivation per guess, as it would from the file.
    void dropCredentials();
    /// Which parts the dropped credentials had (for the unlock prompt).
    bool droppedPassword() const { return m_unlockCheck && m_unlockCheck->hasPassword; }
    bool droppedKeyFile() const { return m_unlockCheck && m_unlockCheck->hasKeyFile; }
    /// Takes `given` back as the session's credentials when they derive the database key the
    /// session was locked with (a full key derivation). False, and nothing changes, otherwise.
    bool restoreCredentials(const Credentials& given);

    /// Fills the session with a freshly opened database.
    void open(DatabaseInfo info, PassFile file, Credentials credentials,
              std::shared_ptr<RemoteFileInfo> remote = nullptr);
    /// Back to "no database": every field cleared, cached keys forgotten.
    void close();

private:
    struct UnlockCheck {
        bool hasPassword = false;
        bool hasKeyFile = false;
        Key256 secret;
        std::array<unsigned char, 32> digest{};
    };
    std::array<unsigned char, 32> digestOf(const Key256& key, const Key256& secret) const;

    std::optional<UnlockCheck> m_unlockCheck;
};

} // namespace keskor
