#include "testing/enterprise-server/Totp.h"

#include <QUrl>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

namespace keskor::testing {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

} // namespace

QString Totp::hotp(const QByteArray& secret, std::uint64_t counter, int digits) {
    unsigned char message[8];
    for (int i = 7; i >= 0; --i) {
        message[i] = static_cast<unsigned char>(counter & 0xFF);
        counter >>= 8;
    }
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macSize = 0;
    HMAC(EVP_sha1(), secret.constData(), static_cast<int>(secret.size()), message, sizeof message,
         mac, &macSize);
    // Dynamic truncation (RFC 4226 section 5.3).
    const int offset = mac[macSize - 1] & 0x0F;
    const std::uint32_t binary = (std::uint32_t(mac[offset] & 0x7F) << 24) |
                                 (std::uint32_t(mac[offset + 1]) << 16) |
                                 (std::uint32_t(mac[offset + 2]) << 8) | mac[offset + 3];
    std::uint32_t modulus = 1;
    for (int i = 0; i < digits; ++i) {
        modulus *= 10;
    }
    return QStringLiteral("%1").arg(binary % modulus, digits, 10, QLatin1Char('0'));
}

QString Totp::code(const QByteArray& secret, std::int64_t unixSeconds, int digits) {
    return hotp(secret, static_cast<std::uint64_t>(unixSeconds / kStepSeconds), digits);
}

std::optional<std::uint64_t> Totp::matchStep(const QByteArray& secret, const QString& code,
                                             std::int64_t unixSeconds, int window) {
    const QByteArray given = code.trimmed().toLatin1();
    if (given.size() != kDigits || unixSeconds < 0) {
        return std::nullopt;
    }
    const std::int64_t now = unixSeconds / kStepSeconds;
    std::optional<std::uint64_t> found;
    for (std::int64_t step = now - window; step <= now + window; ++step) {
        if (step < 0) {
            continue;
        }
        const QByteArray expected = hotp(secret, static_cast<std::uint64_t>(step)).toLatin1();
        if (CRYPTO_memcmp(expected.constData(), given.constData(), kDigits) == 0) {
            found = static_cast<std::uint64_t>(step);
        }
    }
    return found;
}

QByteArray Totp::newSecret() {
    QByteArray secret(kSecretSize, '\0');
    RAND_bytes(reinterpret_cast<unsigned char*>(secret.data()), kSecretSize);
    return secret;
}

QString Totp::toBase32(const QByteArray& bytes) {
    QString out;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (const char c : bytes) {
        buffer = (buffer << 8) | static_cast<unsigned char>(c);
        bits += 8;
        while (bits >= 5) {
            out.append(QLatin1Char(kAlphabet[(buffer >> (bits - 5)) & 0x1F]));
            bits -= 5;
        }
    }
    if (bits > 0) {
        out.append(QLatin1Char(kAlphabet[(buffer << (5 - bits)) & 0x1F]));
    }
    return out;
}

std::optional<QByteArray> Totp::fromBase32(const QString& text) {
    QByteArray out;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (const QChar ch : text) {
        if (ch == QLatin1Char('=') || ch.isSpace()) {
            continue;
        }
        const char c = ch.toUpper().toLatin1();
        int value = -1;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= '2' && c <= '7') {
            value = c - '2' + 26;
        }
        if (value < 0) {
            return std::nullopt;
        }
        buffer = (buffer << 5) | static_cast<std::uint32_t>(value);
        bits += 5;
        if (bits >= 8) {
            out.append(static_cast<char>((buffer >> (bits - 8)) & 0xFF));
            bits -= 8;
        }
    }
    return out;
}

QString Totp::otpauthUri(const QString& issuer, const QString& account, const QByteArray& secret) {
    const QString label = QString::fromLatin1(QUrl::toPercentEncoding(issuer)) + QLatin1Char(':') +
                          QString::fromLatin1(QUrl::toPercentEncoding(account));
    return QStringLiteral(
               "otpauth://totp/%1?secret=%2&issuer=%3&algorithm=SHA1&digits=%4&period=%5")
        .arg(label, toBase32(secret), QString::fromLatin1(QUrl::toPercentEncoding(issuer)))
        .arg(kDigits)
        .arg(kStepSeconds);
}

} // namespace keskor::testing
