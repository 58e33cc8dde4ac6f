#include "core/shared/KeyHelper.h"

#include "core/shared/CommonException.h"
#include "core/shared/LMDKey.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <sodium.h>

namespace keskor {

namespace {
constexpr std::size_t kKeyFileCheckBytes = 4;

void hashPart(crypto_generichash_state& state, const char* label, const void* data,
              std::size_t size) {
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(label),
                              std::strlen(label));
    const std::uint64_t length = size;
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(&length),
                              sizeof length);
    if (size > 0) {
        crypto_generichash_update(&state, static_cast<const unsigned char*>(data), size);
    }
}

QByteArray keyFileCheck(const unsigned char* key) {
    unsigned char sum[32];
    crypto_generichash(sum, sizeof sum, key, Key256::Size,
                       reinterpret_cast<const unsigned char*>("keskor key file"), 15);
    return QByteArray(reinterpret_cast<const char*>(sum), kKeyFileCheckBytes);
}
} // namespace

KeyHelper::KeyHelper() : m_cacheSecret(Key256::random()) {}

SecureBytes KeyHelper::combinedInput(const Credentials& c, PassFile::AuthenticationType type) {
    const bool needsPassword = type != PassFile::AuthenticationType::KeyFile;
    const bool needsKey = type != PassFile::AuthenticationType::Password;
    if (needsPassword && !c.hasPassword()) {
        throw CommonException(QStringLiteral("This database needs its master password."));
    }
    if (needsKey && !c.externalKey()) {
        throw CommonException(QStringLiteral("This database needs its key file."));
    }
    ensureCryptoReady();
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, 64);
    hashPart(state, "keskor-credentials-v1", nullptr, 0);
    if (needsPassword) {
        hashPart(state, "password", c.password().data(), c.password().size());
    }
    if (needsKey) {
        hashPart(state, "keyfile", c.externalKey()->data(), Key256::Size);
    }
    SecureBytes out(64);
    crypto_generichash_final(&state, out.data(), out.size());
    sodium_memzero(&state, sizeof state);
    return out;
}

Key256 KeyHelper::derive(const SecureBytes& input, const PassFile::KdfParameters& kdf) {
    ensureCryptoReady();
    if (kdf.salt.size() != crypto_pwhash_SALTBYTES) {
        throw CommonException(QStringLiteral("The database has no key-derivation salt."));
    }
    Key256 key;
    if (crypto_pwhash(key.data(), Key256::Size, reinterpret_cast<const char*>(input.data()),
                      input.size(), reinterpret_cast<const unsigned char*>(kdf.salt.constData()),
                      kdf.passes, static_cast<std::size_t>(kdf.memoryBytes),
                      crypto_pwhash_ALG_ARGON2ID13) != 0) {
        throw CommonException(
            QStringLiteral("Not enough memory to derive the database key (%1 MiB needed).")
                .arg(kdf.memoryBytes / (1024 * 1024)));
    }
    return key;
}

Key256 KeyHelper::keyFromCredentials(const PassFile& file, const Credentials& credentials) {
    const SecureBytes input = combinedInput(credentials, file.authType());
    const PassFile::KdfParameters& kdf = file.kdf();

    // The cache id binds the salt, the parameters and the credentials under a per-helper
    // secret, so the table reveals nothing about the password.
    std::array<unsigned char, 32> id{};
    crypto_generichash_state state;
    crypto_generichash_init(&state, m_cacheSecret.data(), Key256::Size, id.size());
    const std::uint64_t params[2] = {kdf.memoryBytes, kdf.passes};
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(params),
                              sizeof params);
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(kdf.salt.constData()),
                              static_cast<unsigned long long>(kdf.salt.size()));
    crypto_generichash_update(&state, input.data(), input.size());
    crypto_generichash_final(&state, id.data(), id.size());

    for (std::size_t i = 0; i < m_cache.size(); ++i) {
        if (sodium_memcmp(m_cache[i].id.data(), id.data(), id.size()) == 0) {
            Key256 key = m_cache[i].key;
            if (i + 1 != m_cache.size()) { // most recently used last
                CacheEntry entry = m_cache[i];
                m_cache.erase(m_cache.begin() + static_cast<std::ptrdiff_t>(i));
                m_cache.push_back(entry);
            }
            return key;
        }
    }
    Key256 key = derive(input, kdf);
    ++m_kdfRuns;
    if (m_cache.size() == kCacheSize) {
        m_cache.erase(m_cache.begin());
    }
    m_cache.push_back({id, key});
    return key;
}

Key256 KeyHelper::readExternalKey(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw CommonException(
            QStringLiteral("The key file %1 cannot be read.").arg(QFileInfo(path).fileName()));
    }
    return parseExternalKey(file.read(64 * 1024));
}

Key256 KeyHelper::parseExternalKey(const QByteArray& data) {
    const QString invalid = QStringLiteral("The file is not a valid Keskor key file.");
    if (data.size() > 4096) {
        throw CommonException(invalid);
    }
    const QList<QByteArray> lines = data.trimmed().split('\n');
    if (lines.size() != 2 || lines[0].trimmed() != kKeyFileVersionLine) {
        throw CommonException(invalid);
    }
    auto decoded =
        QByteArray::fromBase64Encoding(lines[1].trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    QByteArray& bytes = decoded.decoded;
    if (!decoded || bytes.size() != static_cast<qsizetype>(Key256::Size + kKeyFileCheckBytes)) {
        secureWipe(bytes);
        throw CommonException(invalid);
    }
    const auto* key = reinterpret_cast<const unsigned char*>(bytes.constData());
    const bool checkOk =
        keyFileCheck(key) == QByteArrayView(bytes.constData() + Key256::Size, kKeyFileCheckBytes);
    Key256 result = Key256::fromBytes(key, Key256::Size);
    secureWipe(bytes);
    if (!checkOk) {
        throw CommonException(invalid);
    }
    return result;
}

QByteArray KeyHelper::generateExternalKey() {
    const Key256 key = Key256::random();
    QByteArray raw(reinterpret_cast<const char*>(key.data()), Key256::Size);
    raw.append(keyFileCheck(key.data()));
    QByteArray text = QByteArray(kKeyFileVersionLine) + '\n' + raw.toBase64() + '\n';
    secureWipe(raw);
    return text;
}

Key256 KeyHelper::LMDKeyFrom(const Credentials& credentials) {
    const auto type = !credentials.externalKey()  ? PassFile::AuthenticationType::Password
                      : credentials.hasPassword() ? PassFile::AuthenticationType::PasswordAndKeyFile
                                                  : PassFile::AuthenticationType::KeyFile;
    const SecureBytes input = combinedInput(credentials, type);
    Key256 base;
    crypto_generichash(base.data(), Key256::Size, input.data(), input.size(), nullptr, 0);
    return LMDKey::generateLMDKey(base, QByteArrayLiteral("keskor-lmd-credentials"));
}

Key256 KeyHelper::getDefaultLMDKey() {
    return LMDKey::generateLMDKey(Key256(), QByteArrayLiteral("keskor-lmd-default"));
}

} // namespace keskor
