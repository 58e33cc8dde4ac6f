#include "core/SessionManager.h"

#include "core/shared/CommonException.h"

#include <sodium.h>

namespace keskor {

void SessionManager::open(DatabaseInfo info, PassFile file, Credentials credentials,
                          std::shared_ptr<RemoteFileInfo> remote) {
    // The key cache stays: the opener derived the key through it, and the first save uses it.
    currentDBInfo = std::move(info);
    currentPassFile = std::move(file);
    currentCredential = std::move(credentials);
    m_unlockCheck.reset();
    remoteFileInfo = std::move(remote);
    isLocked = false;
    copyInfoItems.reset();
    copyFolder.reset();
}

void SessionManager::close() {
    currentDBInfo.reset();
    currentPassFile.reset();
    currentCredential.reset();
    m_unlockCheck.reset();
    remoteFileInfo.reset();
    isLocked = false;
    copyInfoItems.reset();
    copyFolder.reset();
    uploadingStatus = false;
    keyHelper.clearCache();
}

const Credentials& SessionManager::credentials() const {
    if (!currentCredential) {
        throw CommonException(
            QStringLiteral("The database is locked; unlock it first to save its changes."));
    }
    return *currentCredential;
}

std::array<unsigned char, 32> SessionManager::digestOf(const Key256& key,
                                                       const Key256& secret) const {
    std::array<unsigned char, 32> digest{};
    crypto_generichash(digest.data(), digest.size(), key.data(), Key256::Size, secret.data(),
                       Key256::Size);
    return digest;
}

void SessionManager::dropCredentials() {
    if (!currentCredential || !currentPassFile) {
        keyHelper.clearCache();
        return;
    }
    UnlockCheck check;
    check.hasPassword = currentCredential->hasPassword();
    check.hasKeyFile = currentCredential->externalKey().has_value();
    check.secret = Key256::random();
    // Normally from the cache: opening or the last save derived this key.
    const Key256 key = keyHelper.keyFromCredentials(*currentPassFile, *currentCredential);
    check.digest = digestOf(key, check.secret);
    m_unlockCheck = std::move(check);
    currentCredential.reset();
    keyHelper.clearCache();
}

bool SessionManager::restoreCredentials(const Credentials& given) {
    if (!m_unlockCheck || !currentPassFile) {
        return false;
    }
    Key256 key;
    try {
        key = keyHelper.keyFromCredentials(*currentPassFile, given);
    } catch (const CommonException&) {
        return false; // a part the database needs is missing
    }
    const std::array<unsigned char, 32> digest = digestOf(key, m_unlockCheck->secret);
    if (sodium_memcmp(digest.data(), m_unlockCheck->digest.data(), digest.size()) != 0) {
        keyHelper.clearCache();
        return false;
    }
    currentCredential = given;
    m_unlockCheck.reset();
    return true;
}

} // namespace keskor
