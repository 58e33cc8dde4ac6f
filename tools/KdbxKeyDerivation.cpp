#include "tools/KdbxKeyDerivation.h"

#include "core/shared/CommonException.h"

#include <QHash>
#include <QtEndian>
#include <algorithm>
#include <argon2.h>
#include <memory>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <pugixml.hpp>
#include <thread>

namespace keskor {

namespace {

using namespace Qt::Literals::StringLiterals;

const QByteArray kArgon2d = QByteArray::fromHex("ef636ddf8c29444b91f7a9a403e30a0c");
const QByteArray kArgon2id = QByteArray::fromHex("9e298b1956db4773b23dfc3ec6f0a1e6");
const QByteArray kAesKdf = QByteArray::fromHex("c9d9f39a628a4460bf740d08c18a4fea");
/// KeePassXC names AES-KDF by this UUID in the KDBX 4 files it writes.
const QByteArray kAesKdf3 = QByteArray::fromHex("7c02bb8279a74ac0927d114a00648238");

[[noreturn]] void fail(const QString& what) {
    throw CommonException(u"The KDBX file's key derivation %1."_s.arg(what));
}

SecureBytes sha256(const void* data, std::size_t size) {
    SecureBytes digest(SHA256_DIGEST_LENGTH);
    SHA256(static_cast<const unsigned char*>(data), size, digest.data());
    return digest;
}

/// A variant dictionary: per key its type byte and value bytes.
struct Variant {
    std::uint8_t type = 0;
    QByteArray value;
};

QHash<QString, Variant> readVariants(const QByteArray& bytes) {
    const auto malformed = [] { fail(u"parameters are malformed"_s); };
    if (bytes.size() < 2 || (qFromLittleEndian<quint16>(bytes.constData()) & 0xff00) != 0x0100) {
        malformed();
    }
    QHash<QString, Variant> variants;
    qsizetype at = 2;
    const auto length = [&]() -> qsizetype {
        if (bytes.size() - at < 4) {
            malformed();
        }
        const qint32 n = qFromLittleEndian<qint32>(bytes.constData() + at);
        at += 4;
        if (n < 0 || n > bytes.size() - at) {
            malformed();
        }
        return n;
    };
    while (true) {
        if (at >= bytes.size()) {
            malformed();
        }
        const auto type = static_cast<std::uint8_t>(bytes[at++]);
        if (type == 0) {
            return variants;
        }
        const qsizetype keySize = length();
        const QString key = QString::fromUtf8(bytes.mid(at, keySize));
        at += keySize;
        const qsizetype valueSize = length();
        variants.insert(key, Variant{type, bytes.mid(at, valueSize)});
        at += valueSize;
    }
}

/// A number of the dictionary: UInt32 (0x04) or UInt64 (0x05).
std::uint64_t number(const QHash<QString, Variant>& variants, const QString& key) {
    const auto found = variants.constFind(key);
    if (found == variants.cend()) {
        fail(u"lacks its parameter \"%1\""_s.arg(key));
    }
    if (found->type == 0x04 && found->value.size() == 4) {
        return qFromLittleEndian<quint32>(found->value.constData());
    }
    if (found->type == 0x05 && found->value.size() == 8) {
        return qFromLittleEndian<quint64>(found->value.constData());
    }
    fail(u"parameter \"%1\" is not a number"_s.arg(key));
}

QByteArray bytesOf(const QHash<QString, Variant>& variants, const QString& key, bool required) {
    const auto found = variants.constFind(key);
    if (found == variants.cend() || found->type != 0x42) {
        if (required) {
            fail(u"lacks its parameter \"%1\""_s.arg(key));
        }
        return {};
    }
    return found->value;
}

SecureBytes argon2(const QHash<QString, Variant>& variants, argon2_type type,
                   const SecureBytes& composite) {
    QByteArray salt = bytesOf(variants, u"S"_s, true);
    QByteArray secret = bytesOf(variants, u"K"_s, false);
    QByteArray associated = bytesOf(variants, u"A"_s, false);
    const std::uint64_t memory = number(variants, u"M"_s);
    const std::uint64_t iterations = number(variants, u"I"_s);
    const std::uint64_t lanes = number(variants, u"P"_s);
    const std::uint64_t version = number(variants, u"V"_s);
    if (memory > KdbxKeyDerivation::kMaxMemoryBytes) {
        fail(u"asks for %1 MiB of memory; more than %2 MiB are refused"_s.arg(memory >> 20)
                 .arg(KdbxKeyDerivation::kMaxMemoryBytes >> 20));
    }
    if (iterations < 1 || iterations > KdbxKeyDerivation::kMaxIterations) {
        fail(u"asks for %1 iterations; 1 to %2 are accepted"_s.arg(iterations)
                 .arg(KdbxKeyDerivation::kMaxIterations));
    }
    if (lanes < 1 || lanes > KdbxKeyDerivation::kMaxLanes) {
        fail(u"asks for %1 lanes; 1 to %2 are accepted"_s.arg(lanes).arg(
            KdbxKeyDerivation::kMaxLanes));
    }
    if (version != ARGON2_VERSION_10 && version != ARGON2_VERSION_13) {
        fail(u"names an unknown Argon2 version"_s);
    }
    SecureBytes out(32);
    SecureBytes password = composite;
    argon2_context context{};
    context.out = out.data();
    context.outlen = static_cast<std::uint32_t>(out.size());
    context.pwd = password.data();
    context.pwdlen = static_cast<std::uint32_t>(password.size());
    context.salt = reinterpret_cast<std::uint8_t*>(salt.data());
    context.saltlen = static_cast<std::uint32_t>(salt.size());
    context.secret = secret.isEmpty() ? nullptr : reinterpret_cast<std::uint8_t*>(secret.data());
    context.secretlen = static_cast<std::uint32_t>(secret.size());
    context.ad =
        associated.isEmpty() ? nullptr : reinterpret_cast<std::uint8_t*>(associated.data());
    context.adlen = static_cast<std::uint32_t>(associated.size());
    context.t_cost = static_cast<std::uint32_t>(iterations);
    context.m_cost = static_cast<std::uint32_t>(memory / 1024);
    context.lanes = static_cast<std::uint32_t>(lanes);
    context.threads = std::clamp<std::uint32_t>(std::thread::hardware_concurrency(), 1,
                                                static_cast<std::uint32_t>(lanes));
    context.version = static_cast<std::uint32_t>(version);
    context.flags = ARGON2_DEFAULT_FLAGS;
    const int status = argon2_ctx(&context, type);
    secureWipe(secret.data(), static_cast<std::size_t>(secret.size()));
    if (status != ARGON2_OK) {
        fail(u"failed (%1)"_s.arg(QString::fromUtf8(argon2_error_message(status))));
    }
    return out;
}

SecureBytes aesKdf(const QHash<QString, Variant>& variants, const SecureBytes& composite) {
    return KdbxKeyDerivation::deriveAes(bytesOf(variants, u"S"_s, true), number(variants, u"R"_s),
                                        composite);
}

} // namespace

SecureBytes KdbxKeyDerivation::deriveAes(const QByteArray& seed, std::uint64_t rounds,
                                         const SecureBytes& compositeKey) {
    if (seed.size() != 32) {
        fail(u"has a seed of %1 bytes instead of 32"_s.arg(seed.size()));
    }
    if (rounds > KdbxKeyDerivation::kMaxAesRounds) {
        fail(u"asks for %1 rounds; more than %2 are refused"_s.arg(rounds).arg(
            KdbxKeyDerivation::kMaxAesRounds));
    }
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(
        EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    SecureBytes block = compositeKey;
    int written = 0;
    if (!context ||
        EVP_EncryptInit_ex(context.get(), EVP_aes_256_ecb(), nullptr,
                           reinterpret_cast<const unsigned char*>(seed.constData()),
                           nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
        fail(u"could not start AES"_s);
    }
    for (std::uint64_t i = 0; i < rounds; ++i) {
        if (EVP_EncryptUpdate(context.get(), block.data(), &written, block.data(), 32) != 1) {
            fail(u"failed in AES"_s);
        }
    }
    return sha256(block.data(), block.size());
}

namespace {

/// The 32 bytes a key file contributes: KeePass's XML key files (version 1 with base64,
/// version 2 with hex and a check value), 32 raw bytes, 64 hex digits, or else the SHA-256 of
/// whatever the file holds.
SecureBytes keyFileKey(const QByteArray& file) {
    pugi::xml_document document;
    if (file.trimmed().startsWith('<') &&
        document.load_buffer(file.constData(), static_cast<std::size_t>(file.size()))) {
        const pugi::xml_node root = document.child("KeyFile");
        const QByteArray version = root.child("Meta").child("Version").child_value();
        const pugi::xml_node data = root.child("Key").child("Data");
        if (root && data) {
            QByteArray text = QByteArray(data.child_value()).simplified().replace(' ', "");
            QByteArray key;
            if (version.startsWith("2.")) {
                key = QByteArray::fromHex(text);
                const QByteArray hash = QByteArray::fromHex(data.attribute("Hash").value());
                const SecureBytes check =
                    sha256(key.constData(), static_cast<std::size_t>(key.size()));
                if (key.size() != 32 || text.size() != 64 ||
                    hash != QByteArray(reinterpret_cast<const char*>(check.data()), 4)) {
                    secureWipe(key.data(), static_cast<std::size_t>(key.size()));
                    throw CommonException(
                        u"The key file is damaged: its key does not match its check value."_s);
                }
            } else {
                key = QByteArray::fromBase64(text);
            }
            SecureBytes result = SecureBytes::fromByteArray(key);
            secureWipe(key.data(), static_cast<std::size_t>(key.size()));
            secureWipe(text.data(), static_cast<std::size_t>(text.size()));
            return result;
        }
    }
    if (file.size() == 32) {
        return SecureBytes::fromByteArray(file);
    }
    if (file.size() == 64 && std::all_of(file.begin(), file.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        QByteArray key = QByteArray::fromHex(file);
        SecureBytes result = SecureBytes::fromByteArray(key);
        secureWipe(key.data(), static_cast<std::size_t>(key.size()));
        return result;
    }
    return sha256(file.constData(), static_cast<std::size_t>(file.size()));
}

} // namespace

SecureBytes KdbxKeyDerivation::compositeKey(const QString& password, const QByteArray* keyFile) {
    SecureBytes parts;
    if (!password.isEmpty()) {
        const SecureBytes text = SecureBytes::fromText(password);
        const SecureBytes hashed = sha256(text.data(), text.size());
        parts.append(hashed.data(), hashed.size());
    }
    if (keyFile) {
        const SecureBytes key = keyFileKey(*keyFile);
        parts.append(key.data(), key.size());
    }
    return sha256(parts.data(), parts.size());
}

SecureBytes KdbxKeyDerivation::derive(const QByteArray& parameters,
                                      const SecureBytes& compositeKey) {
    const QHash<QString, Variant> variants = readVariants(parameters);
    const QByteArray uuid = bytesOf(variants, u"$UUID"_s, true);
    if (uuid == kArgon2d) {
        return argon2(variants, Argon2_d, compositeKey);
    }
    if (uuid == kArgon2id) {
        return argon2(variants, Argon2_id, compositeKey);
    }
    if (uuid == kAesKdf || uuid == kAesKdf3) {
        return aesKdf(variants, compositeKey);
    }
    fail(u"is not one this import knows (Argon2d, Argon2id and AES-KDF are)"_s);
}

} // namespace keskor
