#pragma once
// Key derivation for databases and key files.
//
// A database key is Argon2id over the combined credentials (a digest of the password and the
// key file's 32 bytes), with the salt and parameters of the file. The derived keys of a session
// are cached in wiping memory, by salt, parameters and a keyed digest of the credentials, so
// saving after every edit never runs the KDF again; new credentials or a new salt derive anew.
// One KeyHelper belongs to one session: closing the database clears it.

#include "core/shared/Credentials.h"
#include "core/shared/Key256.h"
#include "core/shared/PassFile.h"

#include <QByteArray>
#include <array>
#include <vector>

namespace keskor {

class KeyHelper {
public:
    KeyHelper();

    /// Throws CommonException when the credentials lack a part the file's authentication type
    /// needs, or when the KDF cannot run (not enough memory).
    Key256 keyFromCredentials(const PassFile& file, const Credentials& credentials);
    /// How often the KDF really ran (the rest came from the cache).
    int kdfRuns() const noexcept { return m_kdfRuns; }
    void clearCache() noexcept { m_cache.clear(); }

    /// The key of a key file's text. Throws CommonException for anything that is not a key
    /// file of ours (wrong version line, bad encoding, wrong length, wrong check value).
    static Key256 parseExternalKey(const QByteArray& data);
    /// The key of the key file at `path` (its first 64 KiB; a key file is far smaller).
    /// Throws CommonException naming the file when it cannot be read or is not a key file.
    static Key256 readExternalKey(const QString& path);
    /// A new key file's text: a version line and the key with its check value.
    static QByteArray generateExternalKey();

    /// A key from the credentials alone, without a file's salt (fast; for purpose-bound keys).
    static Key256 LMDKeyFrom(const Credentials& credentials);
    static Key256 getDefaultLMDKey();

    /// Argon2id itself, for callers that manage their own parameters (and the benchmark).
    static Key256 derive(const SecureBytes& input, const PassFile::KdfParameters& kdf);
    /// The KDF input for these credentials under an authentication type.
    static SecureBytes combinedInput(const Credentials& credentials,
                                     PassFile::AuthenticationType type);

    static constexpr const char* kKeyFileVersionLine = "KESKOR-KEYFILE/1";

private:
    struct CacheEntry {
        std::array<unsigned char, 32> id;
        Key256 key;
    };
    static constexpr std::size_t kCacheSize = 8;
    Key256 m_cacheSecret;
    std::vector<CacheEntry> m_cache;
    int m_kdfRuns = 0;
};

} // namespace keskor
