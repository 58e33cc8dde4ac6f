#include "core/SessionManager.h"

namespace keskor {

void SessionManager::open(DatabaseInfo info, PassFile file, Credentials credentials,
                          std::shared_ptr<RemoteFileInfo> remote) {
    // The key cache stays: the opener derived the key through it, and the first save uses it.
    currentDBInfo = std::move(info);
    currentPassFile = std::move(file);
    currentCredential = std::move(credentials);
    remoteFileInfo = std::move(remote);
    isLocked = false;
    copyInfoItems.reset();
    copyFolder.reset();
}

void SessionManager::close() {
    currentDBInfo.reset();
    currentPassFile.reset();
    currentCredential.reset();
    remoteFileInfo.reset();
    isLocked = false;
    copyInfoItems.reset();
    copyFolder.reset();
    uploadingStatus = false;
    keyHelper.clearCache();
}

} // namespace keskor
