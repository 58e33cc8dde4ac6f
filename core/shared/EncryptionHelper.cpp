#include "core/shared/EncryptionHelper.h"

#include "core/shared/CommonException.h"

#include <QStringDecoder>
#include <climits>
#include <cstring>
#include <memory>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <sodium.h>
#include <zlib.h>

namespace keskor {

namespace {

constexpr qsizetype kGcmNonceSize = 12;
constexpr qsizetype kGcmTagSize = 16;
constexpr qsizetype kCbcIvSize = 16;
constexpr qsizetype kCbcBlockSize = 16;
constexpr qsizetype kHmacSize = 32;
constexpr qsizetype kXNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr qsizetype kXTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;

// Settings values carry a format byte so a later scheme can be told apart.
constexpr char kSettingsFormat = 0x01;
const QByteArray kSettingsContext = QByteArrayLiteral("keskor.settings.v1");
const QByteArray kCbcSubkeyInfo = QByteArrayLiteral("keskor.aes-256-cbc-hmac-sha-256.v1");

const char* const kDecryptFailed = "Decryption failed: the key is wrong or the data is damaged";

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* c) const noexcept { EVP_CIPHER_CTX_free(c); }
};
struct PkeyCtxFree {
    void operator()(EVP_PKEY_CTX* c) const noexcept { EVP_PKEY_CTX_free(c); }
};
struct MacFree {
    void operator()(EVP_MAC* m) const noexcept { EVP_MAC_free(m); }
};
struct MacCtxFree {
    void operator()(EVP_MAC_CTX* c) const noexcept { EVP_MAC_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

[[noreturn]] void fail(const char* message) {
    throw CommonException(QString::fromLatin1(message));
}

const unsigned char* u(const QByteArray& b) {
    return reinterpret_cast<const unsigned char*>(b.constData());
}
unsigned char* u(QByteArray& b) {
    return reinterpret_cast<unsigned char*>(b.data());
}

void checkKey(const SecureBytes& key) {
    if (key.size() != Key256::Size) {
        fail("Encryption key must be 32 bytes");
    }
}

void checkPlainSize(qsizetype size) {
    if (size > EncryptionHelper::MAX_PLAIN_SIZE) {
        fail("Data too large to encrypt");
    }
}

QByteArray randomBytes(qsizetype size) {
    ensureCryptoReady();
    QByteArray out(size, Qt::Uninitialized);
    randombytes_buf(out.data(), static_cast<std::size_t>(size));
    return out;
}

// --- XChaCha20-Poly1305 -------------------------------------------------------------------

QByteArray xchachaEncrypt(const SecureBytes& key, const QByteArray& plain, const QByteArray& ad) {
    ensureCryptoReady();
    QByteArray out = randomBytes(kXNonceSize);
    out.resize(kXNonceSize + plain.size() + kXTagSize);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        u(out) + kXNonceSize, &written, u(plain), static_cast<unsigned long long>(plain.size()),
        u(ad), static_cast<unsigned long long>(ad.size()), nullptr, u(out), key.data());
    return out;
}

QByteArray xchachaDecrypt(const SecureBytes& key, const QByteArray& sealed, const QByteArray& ad) {
    ensureCryptoReady();
    if (sealed.size() < kXNonceSize + kXTagSize) {
        fail("Encrypted data is too short");
    }
    QByteArray plain(sealed.size() - kXNonceSize - kXTagSize, Qt::Uninitialized);
    unsigned long long written = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            u(plain), &written, nullptr, u(sealed) + kXNonceSize,
            static_cast<unsigned long long>(sealed.size() - kXNonceSize), u(ad),
            static_cast<unsigned long long>(ad.size()), u(sealed), key.data()) != 0) {
        fail(kDecryptFailed);
    }
    return plain;
}

// --- AES-256-GCM --------------------------------------------------------------------------

QByteArray gcmEncrypt(const SecureBytes& key, const QByteArray& plain, const QByteArray& ad) {
    QByteArray out = randomBytes(kGcmNonceSize);
    out.resize(kGcmNonceSize + plain.size() + kGcmTagSize);
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int finalLen = 0;
    bool ok = ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) &&
              EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kGcmNonceSize, nullptr) &&
              EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), u(out));
    ok = ok && (ad.isEmpty() ||
                EVP_EncryptUpdate(ctx.get(), nullptr, &len, u(ad), static_cast<int>(ad.size())));
    ok = ok && EVP_EncryptUpdate(ctx.get(), u(out) + kGcmNonceSize, &len, u(plain),
                                 static_cast<int>(plain.size()));
    ok = ok && EVP_EncryptFinal_ex(ctx.get(), u(out) + kGcmNonceSize + len, &finalLen);
    ok = ok && EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kGcmTagSize,
                                   u(out) + kGcmNonceSize + plain.size());
    if (!ok) {
        fail("Encryption failed");
    }
    return out;
}

QByteArray gcmDecrypt(const SecureBytes& key, const QByteArray& sealed, const QByteArray& ad) {
    if (sealed.size() < kGcmNonceSize + kGcmTagSize) {
        fail("Encrypted data is too short");
    }
    const qsizetype cipherSize = sealed.size() - kGcmNonceSize - kGcmTagSize;
    QByteArray plain(cipherSize, Qt::Uninitialized);
    QByteArray tag = sealed.right(kGcmTagSize);
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int finalLen = 0;
    bool ok = ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) &&
              EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kGcmNonceSize, nullptr) &&
              EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), u(sealed));
    ok = ok && (ad.isEmpty() ||
                EVP_DecryptUpdate(ctx.get(), nullptr, &len, u(ad), static_cast<int>(ad.size())));
    ok = ok && EVP_DecryptUpdate(ctx.get(), u(plain), &len, u(sealed) + kGcmNonceSize,
                                 static_cast<int>(cipherSize));
    ok = ok && EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kGcmTagSize, u(tag));
    ok = ok && EVP_DecryptFinal_ex(ctx.get(), u(plain) + len, &finalLen) > 0;
    if (!ok) {
        secureWipe(plain);
        fail(kDecryptFailed);
    }
    return plain;
}

// --- AES-256-CBC + HMAC-SHA-256 -----------------------------------------------------------

// One HKDF expansion into 64 bytes: the first half encrypts, the second authenticates, so
// neither key is ever used for both jobs.
SecureBytes cbcSubkeys(const SecureBytes& key) {
    SecureBytes out(2 * Key256::Size);
    std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr));
    std::size_t outLen = out.size();
    const bool ok =
        ctx && EVP_PKEY_derive_init(ctx.get()) > 0 &&
        EVP_PKEY_CTX_set_hkdf_md(ctx.get(), EVP_sha256()) > 0 &&
        EVP_PKEY_CTX_set1_hkdf_key(ctx.get(), key.data(), static_cast<int>(key.size())) > 0 &&
        EVP_PKEY_CTX_add1_hkdf_info(ctx.get(), u(kCbcSubkeyInfo),
                                    static_cast<int>(kCbcSubkeyInfo.size())) > 0 &&
        EVP_PKEY_derive(ctx.get(), out.data(), &outLen) > 0 && outLen == out.size();
    if (!ok) {
        fail("Key derivation failed");
    }
    return out;
}

// HMAC(ad | iv | ciphertext | 64-bit big-endian bit length of ad): the trailing length keeps
// the split between associated data and ciphertext unambiguous.
QByteArray cbcTag(const std::uint8_t* macKey, const QByteArray& ad, const char* ivAndCipher,
                  qsizetype ivAndCipherSize) {
    std::unique_ptr<EVP_MAC, MacFree> mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
    std::unique_ptr<EVP_MAC_CTX, MacCtxFree> ctx(mac ? EVP_MAC_CTX_new(mac.get()) : nullptr);
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_END};
    unsigned char adBits[8];
    const std::uint64_t bits = static_cast<std::uint64_t>(ad.size()) * 8;
    for (int i = 0; i < 8; ++i) {
        adBits[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    }
    QByteArray tag(kHmacSize, Qt::Uninitialized);
    std::size_t tagLen = 0;
    const bool ok =
        ctx && EVP_MAC_init(ctx.get(), macKey, Key256::Size, params) > 0 &&
        EVP_MAC_update(ctx.get(), u(ad), static_cast<std::size_t>(ad.size())) > 0 &&
        EVP_MAC_update(ctx.get(), reinterpret_cast<const unsigned char*>(ivAndCipher),
                       static_cast<std::size_t>(ivAndCipherSize)) > 0 &&
        EVP_MAC_update(ctx.get(), adBits, sizeof adBits) > 0 &&
        EVP_MAC_final(ctx.get(), u(tag), &tagLen, static_cast<std::size_t>(tag.size())) > 0 &&
        tagLen == static_cast<std::size_t>(kHmacSize);
    if (!ok) {
        fail("Authentication code failed");
    }
    return tag;
}

QByteArray cbcEncrypt(const SecureBytes& key, const QByteArray& plain, const QByteArray& ad) {
    const SecureBytes subkeys = cbcSubkeys(key);
    const qsizetype cipherSize = (plain.size() / kCbcBlockSize + 1) * kCbcBlockSize;
    QByteArray out = randomBytes(kCbcIvSize);
    out.resize(kCbcIvSize + cipherSize + kHmacSize);
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int finalLen = 0;
    const bool ok =
        ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, subkeys.data(), u(out)) &&
        EVP_EncryptUpdate(ctx.get(), u(out) + kCbcIvSize, &len, u(plain),
                          static_cast<int>(plain.size())) &&
        EVP_EncryptFinal_ex(ctx.get(), u(out) + kCbcIvSize + len, &finalLen) &&
        len + finalLen == cipherSize;
    if (!ok) {
        fail("Encryption failed");
    }
    const QByteArray tag =
        cbcTag(subkeys.data() + Key256::Size, ad, out.constData(), kCbcIvSize + cipherSize);
    std::memcpy(out.data() + kCbcIvSize + cipherSize, tag.constData(), kHmacSize);
    return out;
}

QByteArray cbcDecrypt(const SecureBytes& key, const QByteArray& sealed, const QByteArray& ad) {
    const qsizetype cipherSize = sealed.size() - kCbcIvSize - kHmacSize;
    if (cipherSize < kCbcBlockSize || cipherSize % kCbcBlockSize != 0) {
        fail("Encrypted data is too short or not whole blocks");
    }
    const SecureBytes subkeys = cbcSubkeys(key);
    // Verify before decrypting: no padding oracle, and damaged data never reaches the cipher.
    const QByteArray expected =
        cbcTag(subkeys.data() + Key256::Size, ad, sealed.constData(), kCbcIvSize + cipherSize);
    if (CRYPTO_memcmp(expected.constData(), sealed.constData() + kCbcIvSize + cipherSize,
                      kHmacSize) != 0) {
        fail(kDecryptFailed);
    }
    QByteArray plain(cipherSize, Qt::Uninitialized);
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int finalLen = 0;
    const bool ok =
        ctx &&
        EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, subkeys.data(), u(sealed)) &&
        EVP_DecryptUpdate(ctx.get(), u(plain), &len, u(sealed) + kCbcIvSize,
                          static_cast<int>(cipherSize)) &&
        EVP_DecryptFinal_ex(ctx.get(), u(plain) + len, &finalLen);
    if (!ok) {
        secureWipe(plain);
        fail(kDecryptFailed);
    }
    plain.truncate(len + finalLen);
    return plain;
}

} // namespace

EncryptionHelper::EncryptionHelper(Key256 protectionKey)
    : m_protectionKey(std::move(protectionKey)) {}

QString EncryptionHelper::getEnc(const QString& value) const {
    QByteArray plain = value.toUtf8();
    QByteArray blob(1, kSettingsFormat);
    blob += encrypt(m_protectionKey.bytes(), plain, Type::xChaCha20Poly1305, kSettingsContext);
    secureWipe(plain);
    return QString::fromLatin1(blob.toBase64());
}

std::optional<QString> EncryptionHelper::getDec(const QString& value) const {
    const auto decoded = QByteArray::fromBase64Encoding(
        value.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty() || decoded.decoded.at(0) != kSettingsFormat) {
        return std::nullopt;
    }
    QByteArray plain;
    try {
        plain = decrypt(m_protectionKey.bytes(), decoded.decoded.mid(1), Type::xChaCha20Poly1305,
                        kSettingsContext);
    } catch (const CommonException&) {
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(plain);
    secureWipe(plain);
    if (utf8.hasError()) {
        secureWipe(text);
        return std::nullopt;
    }
    return text;
}

QByteArray EncryptionHelper::encrypt(const SecureBytes& keyBytes, const QByteArray& textBytes,
                                     Type type, const QByteArray& associatedData) {
    checkKey(keyBytes);
    checkPlainSize(textBytes.size());
    checkPlainSize(associatedData.size());
    switch (type) {
    case Type::xChaCha20Poly1305:
        return xchachaEncrypt(keyBytes, textBytes, associatedData);
    case Type::aes256Gcm:
        return gcmEncrypt(keyBytes, textBytes, associatedData);
    case Type::aes256CbcHmacSha256:
        return cbcEncrypt(keyBytes, textBytes, associatedData);
    }
    fail("Unknown encryption type");
}

QByteArray EncryptionHelper::decrypt(const SecureBytes& keyBytes, const QByteArray& textBytes,
                                     Type type, const QByteArray& associatedData) {
    checkKey(keyBytes);
    // Any type's overhead is far below this slack.
    if (textBytes.size() > MAX_PLAIN_SIZE + 1024) {
        fail("Encrypted data is too large");
    }
    checkPlainSize(associatedData.size());
    switch (type) {
    case Type::xChaCha20Poly1305:
        return xchachaDecrypt(keyBytes, textBytes, associatedData);
    case Type::aes256Gcm:
        return gcmDecrypt(keyBytes, textBytes, associatedData);
    case Type::aes256CbcHmacSha256:
        return cbcDecrypt(keyBytes, textBytes, associatedData);
    }
    fail("Unknown encryption type");
}

qsizetype EncryptionHelper::encryptedSize(Type type, qsizetype plainSize) {
    switch (type) {
    case Type::xChaCha20Poly1305:
        return kXNonceSize + plainSize + kXTagSize;
    case Type::aes256Gcm:
        return kGcmNonceSize + plainSize + kGcmTagSize;
    case Type::aes256CbcHmacSha256:
        return kCbcIvSize + (plainSize / kCbcBlockSize + 1) * kCbcBlockSize + kHmacSize;
    }
    fail("Unknown encryption type");
}

std::optional<EncryptionHelper::Type> EncryptionHelper::typeFromRaw(int raw) {
    switch (raw) {
    case static_cast<int>(Type::xChaCha20Poly1305):
    case static_cast<int>(Type::aes256Gcm):
    case static_cast<int>(Type::aes256CbcHmacSha256):
        return static_cast<Type>(raw);
    default:
        return std::nullopt;
    }
}

QByteArray EncryptionHelper::zlibZipped(const QByteArray& data, int level) {
    if (level < Z_DEFAULT_COMPRESSION || level > Z_BEST_COMPRESSION) {
        fail("Compression level must be -1 or between 0 and 9");
    }
    uLongf outSize = compressBound(static_cast<uLong>(data.size()));
    QByteArray out(static_cast<qsizetype>(outSize), Qt::Uninitialized);
    if (compress2(u(out), &outSize, u(data), static_cast<uLong>(data.size()), level) != Z_OK) {
        fail("Compression failed");
    }
    out.truncate(static_cast<qsizetype>(outSize));
    return out;
}

QByteArray EncryptionHelper::zlibUnzipped(const QByteArray& data, qsizetype maxSize) {
    if (data.isEmpty()) {
        fail("Compressed data is empty");
    }
    if (data.size() > qsizetype(UINT_MAX)) {
        fail("Compressed data is too large");
    }
    z_stream stream{};
    // 15 + 32: accept both zlib and gzip framing, detected from the header.
    if (inflateInit2(&stream, 15 + 32) != Z_OK) {
        fail("Decompression failed to start");
    }
    struct Ender {
        z_stream* s;
        ~Ender() { inflateEnd(s); }
    } ender{&stream};

    stream.next_in = const_cast<Bytef*>(u(data));
    stream.avail_in = static_cast<uInt>(data.size());
    constexpr qsizetype kChunk = 64 * 1024;
    QByteArray out;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        const qsizetype before = out.size();
        out.resize(before + kChunk);
        stream.next_out = u(out) + before;
        stream.avail_out = static_cast<uInt>(kChunk);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(before + kChunk - static_cast<qsizetype>(stream.avail_out));
        if (status == Z_NEED_DICT || status == Z_DATA_ERROR || status == Z_MEM_ERROR ||
            status == Z_STREAM_ERROR) {
            fail("Compressed data is damaged");
        }
        if (status == Z_BUF_ERROR ||
            (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0)) {
            // No input left and the stream has not ended.
            fail("Compressed data is truncated");
        }
        if (out.size() > maxSize) {
            fail("Decompressed data exceeds the size limit");
        }
    }
    if (stream.avail_in != 0) {
        fail("Unexpected bytes after the compressed data");
    }
    return out;
}

bool EncryptionHelper::isGzipped(const QByteArray& data) {
    return data.size() >= 3 && static_cast<unsigned char>(data.at(0)) == 0x1F &&
           static_cast<unsigned char>(data.at(1)) == 0x8B && data.at(2) == 0x08;
}

} // namespace keskor
