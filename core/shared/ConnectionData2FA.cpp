#include "core/shared/ConnectionData2FA.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace keskor {

namespace {
const QString kToken = QStringLiteral("token");
const QString kCode = QStringLiteral("code");
const QString kDescription = QStringLiteral("description");
const QString kTrust = QStringLiteral("trust");
} // namespace

ConnectionData2FA::ConnectionData2FA(QString token, std::optional<QString> code,
                                     QString description, bool trust)
    : m_token(std::move(token)), m_code(std::move(code)), m_description(std::move(description)),
      m_trust(trust) {}

QString ConnectionData2FA::toString() const {
    QJsonObject o;
    o.insert(kToken, m_token);
    if (m_code) {
        o.insert(kCode, *m_code);
    }
    o.insert(kDescription, m_description);
    o.insert(kTrust, m_trust);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<ConnectionData2FA> ConnectionData2FA::fromString(const QString& text) {
    if (text.size() > MAX_TEXT_SIZE) {
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    const QJsonValue token = o.value(kToken);
    if (!token.isString() || token.toString().isEmpty()) {
        return std::nullopt;
    }
    std::optional<QString> code;
    if (o.contains(kCode)) {
        if (!o.value(kCode).isString()) {
            return std::nullopt;
        }
        code = o.value(kCode).toString();
    }
    QString description;
    if (o.contains(kDescription)) {
        if (!o.value(kDescription).isString()) {
            return std::nullopt;
        }
        description = o.value(kDescription).toString();
    }
    bool trust = false;
    if (o.contains(kTrust)) {
        if (!o.value(kTrust).isBool()) {
            return std::nullopt;
        }
        trust = o.value(kTrust).toBool();
    }
    return ConnectionData2FA(token.toString(), std::move(code), std::move(description), trust);
}

} // namespace keskor
