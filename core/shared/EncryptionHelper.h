#pragma once
// Byte encryption for the whole library (database bodies, enterprise packets), zlib helpers,
// and the protection of secrets kept in the settings store.

#include "core/shared/Key256.h"
#include "core/shared/SecureBytes.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>

namespace keskor {

class EncryptionHelper {
public:
    /// Raw values are stored in file headers and packet headers: never renumber.
    enum class Type : int {
        /// libsodium XChaCha20-Poly1305 (IETF); output nonce(24) | ciphertext | tag(16).
        xChaCha20Poly1305 = 0,
        /// OpenSSL AES-256-GCM; output nonce(12) | ciphertext | tag(16).
        aes256Gcm = 1,
        /// AES-256-CBC (PKCS#7) then HMAC-SHA-256 over associated data, IV and ciphertext;
        /// output IV(16) | ciphertext | tag(32). Both subkeys are derived by HKDF-SHA-256.
        aes256CbcHmacSha256 = 2,
    };

    /// Decompression refuses to produce more than this.
    static constexpr qsizetype MAX_UNZIPPED_SIZE = qsizetype(1) << 30;
    /// Plaintexts above this are refused: far beyond any database or packet, and it keeps
    /// every length within the int the OpenSSL calls take.
    static constexpr qsizetype MAX_PLAIN_SIZE = qsizetype(1) << 30;

    /// Settings-string protection with a per-installation key.
    explicit EncryptionHelper(Key256 protectionKey);

    /// Base64 text of a freshly-nonced authenticated encryption of the UTF-8 value.
    QString getEnc(const QString& value) const;
    /// The value getEnc produced; nothing for any text that does not authenticate under this
    /// key or is not our format.
    std::optional<QString> getDec(const QString& value) const;

    /// Encrypts with a fresh random nonce/IV; associatedData is authenticated, not stored.
    /// The key must be 32 bytes. Throws CommonException.
    static QByteArray encrypt(const SecureBytes& keyBytes, const QByteArray& textBytes, Type type,
                              const QByteArray& associatedData = {});
    /// Throws CommonException on a wrong key, damaged data or a different associatedData.
    static QByteArray decrypt(const SecureBytes& keyBytes, const QByteArray& textBytes, Type type,
                              const QByteArray& associatedData = {});
    /// Size of encrypt's output for a plaintext of plainSize bytes.
    static qsizetype encryptedSize(Type type, qsizetype plainSize);
    /// Whether a raw value names a Type.
    static std::optional<Type> typeFromRaw(int raw);

    /// zlib stream (RFC 1950) of data; level -1 (default) or 0 to 9, else throws.
    static QByteArray zlibZipped(const QByteArray& data, int level = -1);
    /// Inflates a zlib or gzip stream. Throws CommonException on damaged or truncated input,
    /// bytes after the stream, or an output above maxSize.
    static QByteArray zlibUnzipped(const QByteArray& data, qsizetype maxSize = MAX_UNZIPPED_SIZE);
    /// True when data starts with a gzip member header (1F 8B, deflate).
    static bool isGzipped(const QByteArray& data);

private:
    Key256 m_protectionKey;
};

} // namespace keskor
