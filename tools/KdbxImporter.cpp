#include "tools/KdbxImporter.h"

#include "core/shared/CommonException.h"
#include "core/shared/EncryptionHelper.h"
#include "tools/KdbxKeyDerivation.h"
#include "tools/KeePassXmlImporter.h"

#include <QtEndian>
#include <cstring>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>
#include <optional>
#include <sodium.h>

namespace keskor {

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr quint32 kSignature1 = 0x9AA2D903;
constexpr quint32 kSignature2 = 0xB54BFB67;
const QByteArray kAes256 = QByteArray::fromHex("31c1f2e6bf714350be5805216afc5aff");
const QByteArray kChaCha20 = QByteArray::fromHex("d6038a2b8b6f4cb5a524339a31dbb59a");

[[noreturn]] void damaged(const QString& why) {
    throw CommonException(u"The KDBX file is damaged: %1."_s.arg(why));
}

[[noreturn]] void truncated() {
    throw CommonException(u"The KDBX file is truncated."_s);
}

/// Reads fields of `id (1 byte), size, data`; the size takes 4 bytes in both headers of KDBX 4
/// and 2 in the header of KDBX 3.
class FieldReader {
public:
    FieldReader(const QByteArray& bytes, qsizetype at, int sizeBytes)
        : m_bytes(bytes), m_at(at), m_sizeBytes(sizeBytes) {}

    qsizetype position() const { return m_at; }

    /// The next field's id, its data in `data`; false at the end of the bytes.
    bool next(std::uint8_t& id, QByteArray& data) {
        if (m_at >= m_bytes.size()) {
            return false;
        }
        if (m_bytes.size() - m_at < 1 + m_sizeBytes) {
            truncated();
        }
        id = static_cast<std::uint8_t>(m_bytes[m_at]);
        const char* size_at = m_bytes.constData() + m_at + 1;
        const quint32 size = m_sizeBytes == 4 ? qFromLittleEndian<quint32>(size_at)
                                              : qFromLittleEndian<quint16>(size_at);
        m_at += 1 + m_sizeBytes;
        if (size > static_cast<quint64>(m_bytes.size() - m_at)) {
            truncated();
        }
        data = m_bytes.mid(m_at, size);
        m_at += size;
        return true;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_at;
    int m_sizeBytes;
};

struct OuterHeader {
    QByteArray bytes; // as hashed: from the signature to the end field
    quint32 major = 4;
    QByteArray cipher;
    QByteArray masterSeed;
    QByteArray iv;
    QByteArray kdfParameters;
    bool compressed = false;
    // KDBX 3 only: AES-KDF's parameters, the inner stream (its inner header came later), and
    // the bytes the plaintext starts with, which tell a wrong key from a damaged body.
    QByteArray transformSeed;
    QByteArray transformRounds;
    QByteArray streamKey;
    QByteArray streamStart;
    std::optional<quint32> streamId;
};

OuterHeader readOuterHeader(const QByteArray& file) {
    if (!KdbxImporter::isKdbx(file)) {
        throw CommonException(u"This is not a KDBX file."_s);
    }
    if (file.size() < 12) {
        truncated();
    }
    const quint32 version = qFromLittleEndian<quint32>(file.constData() + 8);
    const quint32 major = version >> 16;
    if (major != 3 && major != 4) {
        throw CommonException(
            major < 3 ? u"KDBX %1.%2 files are not supported: save the database as KDBX 4 in "
                        "KeePass or KeePassXC and import that."_s.arg(major)
                            .arg(version & 0xffff)
                      : u"KDBX %1.%2 is newer than the KDBX 4 this import reads."_s.arg(major).arg(
                            version & 0xffff));
    }
    OuterHeader header;
    header.major = major;
    const bool v3 = major == 3;
    FieldReader fields(file, 12, v3 ? 2 : 4);
    std::uint8_t id = 0;
    QByteArray data;
    bool ended = false;
    bool sawFlags = false;
    while (!ended && fields.next(id, data)) {
        switch (id) {
        case 0:
            ended = true;
            break;
        case 2:
            header.cipher = data;
            break;
        case 3:
            if (data.size() != 4 || qFromLittleEndian<quint32>(data.constData()) > 1) {
                damaged(u"its compression flag is unknown"_s);
            }
            header.compressed = qFromLittleEndian<quint32>(data.constData()) == 1;
            sawFlags = true;
            break;
        case 4:
            header.masterSeed = data;
            break;
        case 7:
            header.iv = data;
            break;
        case 11:
            header.kdfParameters = data;
            break;
        // Fields 5 to 10 are KDBX 3's; version 4 dropped them.
        case 5:
            header.transformSeed = v3 ? data : QByteArray();
            break;
        case 6:
            header.transformRounds = v3 ? data : QByteArray();
            break;
        case 8:
            header.streamKey = v3 ? data : QByteArray();
            break;
        case 9:
            header.streamStart = v3 ? data : QByteArray();
            break;
        case 10:
            if (v3 && data.size() == 4) {
                header.streamId = qFromLittleEndian<quint32>(data.constData());
            }
            break;
        default:
            break; // public custom data and fields of later versions
        }
    }
    if (!ended) {
        truncated();
    }
    header.bytes = file.left(fields.position());
    if (header.cipher != kAes256 && header.cipher != kChaCha20) {
        throw CommonException(
            header.cipher.size() == 16
                ? u"The KDBX file's cipher is not supported (AES-256 and ChaCha20 are)."_s
                : u"The KDBX file is damaged: it names no cipher."_s);
    }
    const qsizetype ivSize = header.cipher == kAes256 ? 16 : 12;
    const bool kdfComplete =
        v3 ? header.transformSeed.size() == 32 && header.transformRounds.size() == 8 &&
                 header.streamStart.size() == 32 && !header.streamKey.isEmpty() && header.streamId
           : !header.kdfParameters.isEmpty();
    if (header.masterSeed.size() != 32 || header.iv.size() != ivSize || !kdfComplete || !sawFlags) {
        damaged(u"its header lacks a field or has one of the wrong size"_s);
    }
    return header;
}

QByteArray sha512(const QByteArray& a, const QByteArray& b, const QByteArray& c = {}) {
    QByteArray digest(SHA512_DIGEST_LENGTH, Qt::Uninitialized);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha512(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), a.constData(), static_cast<std::size_t>(a.size())) != 1 ||
        EVP_DigestUpdate(context.get(), b.constData(), static_cast<std::size_t>(b.size())) != 1 ||
        EVP_DigestUpdate(context.get(), c.constData(), static_cast<std::size_t>(c.size())) != 1 ||
        EVP_DigestFinal_ex(context.get(), reinterpret_cast<unsigned char*>(digest.data()),
                           nullptr) != 1) {
        throw CommonException(u"SHA-512 failed."_s);
    }
    return digest;
}

/// The keys of the body: the cipher's and the base of the per-block HMAC keys.
class BodyKeys {
public:
    BodyKeys(const QByteArray& masterSeed, const SecureBytes& derived) {
        QByteArray secret = derived.toByteArray();
        QByteArray cipher(SHA256_DIGEST_LENGTH, Qt::Uninitialized);
        const QByteArray seeded = masterSeed + secret;
        SHA256(reinterpret_cast<const unsigned char*>(seeded.constData()),
               static_cast<std::size_t>(seeded.size()),
               reinterpret_cast<unsigned char*>(cipher.data()));
        m_cipher = SecureBytes::fromByteArray(cipher);
        QByteArray hmacBase = sha512(masterSeed, secret, QByteArray(1, '\x01'));
        m_hmacBase = SecureBytes::fromByteArray(hmacBase);
        secureWipe(secret);
        secureWipe(cipher);
        secureWipe(hmacBase);
    }

    const SecureBytes& cipher() const { return m_cipher; }

    /// HMAC-SHA-256 of `data` under the key of block `index` (the header is block 2^64-1).
    QByteArray mac(quint64 index, const QByteArray& data) const {
        QByteArray littleIndex(8, Qt::Uninitialized);
        qToLittleEndian(index, littleIndex.data());
        QByteArray key = sha512(littleIndex, m_hmacBase.toByteArray());
        QByteArray out(SHA256_DIGEST_LENGTH, Qt::Uninitialized);
        HMAC(EVP_sha256(), key.constData(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(data.constData()),
             static_cast<std::size_t>(data.size()), reinterpret_cast<unsigned char*>(out.data()),
             nullptr);
        secureWipe(key);
        return out;
    }

private:
    SecureBytes m_cipher;
    SecureBytes m_hmacBase;
};

/// Wipes a buffer of plaintext however its scope ends.
struct Wiper {
    QByteArray& bytes;
    ~Wiper() { secureWipe(bytes); }
};

bool sameBytes(const QByteArray& a, const char* b) {
    return CRYPTO_memcmp(a.constData(), b, static_cast<std::size_t>(a.size())) == 0;
}

/// The ciphertext of the HMAC-checked blocks after the header, joined.
QByteArray readBlocks(const QByteArray& file, qsizetype at, const BodyKeys& keys) {
    QByteArray joined;
    for (quint64 index = 0;; ++index) {
        if (file.size() - at < 36) {
            truncated();
        }
        const char* mac = file.constData() + at;
        const qint32 size = qFromLittleEndian<qint32>(file.constData() + at + 32);
        if (size < 0) {
            damaged(u"block %1 has a negative size"_s.arg(index));
        }
        if (size > file.size() - at - 36) {
            truncated();
        }
        QByteArray indexed(8, Qt::Uninitialized);
        qToLittleEndian(index, indexed.data());
        const QByteArray signedPart = indexed + file.mid(at + 32, 4 + size);
        if (!sameBytes(keys.mac(index, signedPart), mac)) {
            damaged(u"block %1 fails its HMAC check"_s.arg(index));
        }
        at += 36 + size;
        if (size == 0) {
            return joined;
        }
        joined += signedPart.mid(12);
    }
}

QByteArray decrypt(const OuterHeader& header, const SecureBytes& key, const QByteArray& sealed) {
    const bool aes = header.cipher == kAes256;
    QByteArray iv = header.iv;
    if (!aes) {
        iv.prepend(QByteArray(4, '\0')); // the block counter starts at 0
    }
    if (sealed.size() > EncryptionHelper::MAX_PLAIN_SIZE) {
        damaged(u"its body is too large"_s);
    }
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(
        EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    QByteArray plain(sealed.size() + 16, Qt::Uninitialized);
    int written = 0;
    int last = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(sealed.constData());
    auto* out = reinterpret_cast<unsigned char*>(plain.data());
    const bool ok =
        context &&
        EVP_DecryptInit_ex(context.get(), aes ? EVP_aes_256_cbc() : EVP_chacha20(), nullptr,
                           key.data(),
                           reinterpret_cast<const unsigned char*>(iv.constData())) == 1 &&
        EVP_DecryptUpdate(context.get(), out, &written, in, static_cast<int>(sealed.size())) == 1 &&
        EVP_DecryptFinal_ex(context.get(), out + written, &last) == 1;
    if (!ok) {
        secureWipe(plain);
        damaged(u"its body does not decrypt"_s);
    }
    plain.truncate(written + last);
    return plain;
}

/// The keystream that protected values are XORed with, consumed in document order.
class InnerStream {
public:
    InnerStream(quint32 algorithm, const QByteArray& key) : m_algorithm(algorithm) {
        if (algorithm == 3) {
            const QByteArray hashed = sha512(key, {});
            m_key = SecureBytes(hashed.constData(), 32);
            m_nonce = hashed.mid(32, crypto_stream_chacha20_ietf_NONCEBYTES);
        } else if (algorithm == 2) {
            QByteArray hashed(SHA256_DIGEST_LENGTH, Qt::Uninitialized);
            SHA256(reinterpret_cast<const unsigned char*>(key.constData()),
                   static_cast<std::size_t>(key.size()),
                   reinterpret_cast<unsigned char*>(hashed.data()));
            m_key = SecureBytes::fromByteArray(hashed);
            m_nonce = QByteArray::fromHex("e830094b97205d2a");
            secureWipe(hashed);
        } else {
            damaged(u"its inner stream cipher is unknown"_s);
        }
    }

    void unseal(QByteArray& data) {
        for (char& c : data) {
            if (m_used == sizeof m_block) {
                refill();
            }
            c = static_cast<char>(c ^ m_block[m_used++]);
        }
    }

    ~InnerStream() { sodium_memzero(m_block, sizeof m_block); }

private:
    void refill() {
        std::memset(m_block, 0, sizeof m_block);
        const auto* nonce = reinterpret_cast<const unsigned char*>(m_nonce.constData());
        if (m_algorithm == 3) {
            crypto_stream_chacha20_ietf_xor_ic(m_block, m_block, sizeof m_block, nonce,
                                               static_cast<std::uint32_t>(m_counter), m_key.data());
        } else {
            crypto_stream_salsa20_xor_ic(m_block, m_block, sizeof m_block, nonce, m_counter,
                                         m_key.data());
        }
        ++m_counter;
        m_used = 0;
    }

    quint32 m_algorithm;
    SecureBytes m_key;
    QByteArray m_nonce;
    std::uint64_t m_counter = 0;
    unsigned char m_block[64] = {};
    std::size_t m_used = sizeof m_block;
};

/// KDBX 3: the plaintext starts with the header's start bytes, then a chain of blocks that
/// each carry their index and SHA-256.
QByteArray version3Payload(const QByteArray& file, const OuterHeader& header,
                           const BodyKeys& keys) {
    const QByteArray sealed = file.mid(header.bytes.size());
    if (header.cipher == kAes256 && sealed.size() % 16 != 0) {
        truncated();
    }
    QByteArray plain;
    try {
        plain = decrypt(header, keys.cipher(), sealed);
    } catch (const CommonException&) {
        // Without a MAC, bad padding is what a wrong key gives (a damaged last block too).
        throw CommonException(u"Wrong password or key file."_s);
    }
    const Wiper wiper{plain};
    if (plain.size() < 32 || !sameBytes(header.streamStart, plain.constData())) {
        throw CommonException(u"Wrong password or key file."_s);
    }
    QByteArray joined;
    const auto fail = [&joined](const auto& thrower) {
        secureWipe(joined);
        thrower();
    };
    qsizetype at = 32;
    for (quint32 index = 0;; ++index) {
        if (plain.size() - at < 40) {
            fail(truncated);
        }
        const char* block = plain.constData() + at;
        const qint32 size = qFromLittleEndian<qint32>(block + 36);
        if (size < 0 || size > plain.size() - at - 40) {
            fail(truncated);
        }
        if (qFromLittleEndian<quint32>(block) != index) {
            fail([index] { damaged(u"block %1 is out of order"_s.arg(index)); });
        }
        if (size == 0) {
            return joined;
        }
        unsigned char hash[SHA256_DIGEST_LENGTH];
        SHA256(reinterpret_cast<const unsigned char*>(block + 40), static_cast<std::size_t>(size),
               hash);
        if (CRYPTO_memcmp(hash, block + 4, sizeof hash) != 0) {
            fail([index] { damaged(u"block %1 fails its hash check"_s.arg(index)); });
        }
        joined.append(block + 40, size);
        at += 40 + size;
    }
}

/// KDBX 4: the header's SHA-256 and HMAC, then the HMAC-checked blocks of ciphertext.
QByteArray version4Payload(const QByteArray& file, const OuterHeader& header,
                           const BodyKeys& keys) {
    const qsizetype at = header.bytes.size();
    if (file.size() - at < 64) {
        truncated();
    }
    QByteArray hash(SHA256_DIGEST_LENGTH, Qt::Uninitialized);
    SHA256(reinterpret_cast<const unsigned char*>(header.bytes.constData()),
           static_cast<std::size_t>(header.bytes.size()),
           reinterpret_cast<unsigned char*>(hash.data()));
    if (!sameBytes(hash, file.constData() + at)) {
        damaged(u"its header does not match its checksum"_s);
    }
    if (!sameBytes(keys.mac(~quint64(0), header.bytes), file.constData() + at + 32)) {
        throw CommonException(u"Wrong password or key file."_s);
    }
    return decrypt(header, keys.cipher(), readBlocks(file, at + 64, keys));
}

/// The XML and what unseals its protected values: KDBX 4 keeps the inner stream and the
/// attachments in an inner header before the XML, KDBX 3 the stream in the outer header.
ImportedItems readPayload(const QByteArray& payload, const OuterHeader& header,
                          const ImportProgress& progress) {
    std::optional<quint32> streamId = header.streamId;
    QByteArray streamKey = header.streamKey;
    KeePassXmlImporter::Unsealing unsealing;
    qsizetype xmlAt = 0;
    if (header.major == 4) {
        FieldReader fields(payload, 0, 4);
        std::uint8_t id = 0;
        QByteArray data;
        bool ended = false;
        while (!ended && fields.next(id, data)) {
            if (id == 0) {
                ended = true;
            } else if (id == 1 && data.size() == 4) {
                streamId = qFromLittleEndian<quint32>(data.constData());
            } else if (id == 2) {
                streamKey = data;
            } else if (id == 3 && !data.isEmpty()) {
                unsealing.binaries.append(data.mid(1)); // after the flags byte
            } else if (id == 1 || id == 3) {
                damaged(u"its inner header has a field of the wrong size"_s);
            }
        }
        secureWipe(data);
        if (!ended) {
            damaged(u"its inner header is incomplete"_s);
        }
        xmlAt = fields.position();
    }
    if (!streamId || streamKey.isEmpty()) {
        damaged(u"its inner header is incomplete"_s);
    }
    InnerStream stream(*streamId, streamKey);
    secureWipe(streamKey);
    unsealing.unseal = [&stream](QByteArray& value) { stream.unseal(value); };
    // The parser works on (and wipes) a copy of its own.
    return KeePassXmlImporter::read(payload.mid(xmlAt), unsealing, progress);
}

} // namespace

bool KdbxImporter::isKdbx(const QByteArray& head) {
    return head.size() >= 8 && qFromLittleEndian<quint32>(head.constData()) == kSignature1 &&
           qFromLittleEndian<quint32>(head.constData() + 4) == kSignature2;
}

ImportedItems KdbxImporter::read(const QByteArray& file, const QString& password,
                                 const QByteArray* keyFile, const ImportProgress& progress) {
    const OuterHeader header = readOuterHeader(file);
    const SecureBytes composite = KdbxKeyDerivation::compositeKey(password, keyFile);
    const SecureBytes derived =
        header.major == 3
            ? KdbxKeyDerivation::deriveAes(
                  header.transformSeed,
                  qFromLittleEndian<quint64>(header.transformRounds.constData()), composite)
            : KdbxKeyDerivation::derive(header.kdfParameters, composite);
    return readDerived(file, derived, progress);
}

ImportedItems KdbxImporter::readDerived(const QByteArray& file, const SecureBytes& derived,
                                        const ImportProgress& progress) {
    const OuterHeader header = readOuterHeader(file);
    const BodyKeys keys(header.masterSeed, derived);
    QByteArray payload = header.major == 3 ? version3Payload(file, header, keys)
                                           : version4Payload(file, header, keys);
    if (header.compressed) {
        try {
            QByteArray unzipped = EncryptionHelper::zlibUnzipped(payload);
            secureWipe(payload);
            payload = std::move(unzipped);
        } catch (const CommonException& e) {
            secureWipe(payload);
            damaged(e.message());
        }
    }
    const Wiper wiper{payload};
    return readPayload(payload, header, progress);
}

} // namespace keskor
