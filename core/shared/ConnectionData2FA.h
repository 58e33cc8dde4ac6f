#pragma once
// The two-factor data sent with every log-in: this installation's device token and, after
// the user typed one, the code and whether this device is to be trusted from now on.
// Its text form (text 1 of the log-in request) is a compact JSON object.

#include <QString>
#include <optional>

namespace keskor {

class ConnectionData2FA {
public:
    /// Texts longer than this are refused by fromString.
    static constexpr qsizetype MAX_TEXT_SIZE = 16 * 1024;

    ConnectionData2FA(QString token, std::optional<QString> code, QString description, bool trust);

    const QString& token() const { return m_token; }
    const std::optional<QString>& code() const { return m_code; }
    const QString& description() const { return m_description; }
    bool trust() const { return m_trust; }

    /// {"token":"…","code":"…","description":"…","trust":false}; "code" only when present.
    QString toString() const;
    /// Nothing unless text is such an object with a non-empty string "token"; "code" and
    /// "description" must be strings and "trust" a boolean when present.
    static std::optional<ConnectionData2FA> fromString(const QString& text);

    bool operator==(const ConnectionData2FA& other) const = default;

private:
    QString m_token;
    std::optional<QString> m_code;
    QString m_description;
    bool m_trust;
};

} // namespace keskor
