#pragma once
// Time-based one-time passwords (RFC 6238 over RFC 4226's HOTP, HMAC-SHA1) and the base32
// text (RFC 4648) in which authenticator apps exchange the shared secret.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace keskor::testing {

class Totp {
public:
    static constexpr int kStepSeconds = 30;
    static constexpr int kDigits = 6;
    /// Bytes of a new secret: the 160 bits RFC 4226 recommends.
    static constexpr int kSecretSize = 20;

    /// The code for time step `counter`, zero-padded to `digits` (6 to 8).
    static QString hotp(const QByteArray& secret, std::uint64_t counter, int digits = kDigits);
    /// The code valid at `unixSeconds`.
    static QString code(const QByteArray& secret, std::int64_t unixSeconds, int digits = kDigits);
    /// The time step whose code `code` is, within `window` steps either side of `unixSeconds`;
    /// nothing when no step in the window matches. Compared in constant time.
    static std::optional<std::uint64_t> matchStep(const QByteArray& secret, const QString& code,
                                                  std::int64_t unixSeconds, int window = 1);

    static QByteArray newSecret();
    /// Upper-case base32 without padding, as otpauth URIs carry it.
    static QString toBase32(const QByteArray& bytes);
    /// Accepts lower case, blanks and padding; nothing for any other character.
    static std::optional<QByteArray> fromBase32(const QString& text);
    /// otpauth://totp/<issuer>:<account>?secret=…&issuer=…
    static QString otpauthUri(const QString& issuer, const QString& account,
                              const QByteArray& secret);
};

} // namespace keskor::testing
