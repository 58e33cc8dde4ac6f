#include "core/shared/AccessPermission.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace keskor {

bool AccessPermission::isValidAt(double moment) const {
    if (validFrom > 0.0 && moment < validFrom) {
        return false;
    }
    if (validTo > 0.0 && moment > validTo) {
        return false;
    }
    return true;
}

QString AccessPermission::serialize() const {
    QJsonObject o;
    o.insert(QStringLiteral("id"), id);
    o.insert(QStringLiteral("user"), userId);
    o.insert(QStringLiteral("grantedBy"), grantedBy);
    o.insert(QStringLiteral("validFrom"), validFrom);
    o.insert(QStringLiteral("validTo"), validTo);
    o.insert(QStringLiteral("rights"), static_cast<qint64>(rights));
    o.insert(QStringLiteral("sealed"), sealed);
    o.insert(QStringLiteral("approvers"), QJsonArray::fromStringList(approvers));
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<AccessPermission> AccessPermission::deserialize(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    const QJsonValue rights = o.value(QStringLiteral("rights"));
    if (!o.value(QStringLiteral("id")).isString() || !rights.isDouble()) {
        return std::nullopt;
    }
    AccessPermission p;
    p.id = o.value(QStringLiteral("id")).toString();
    p.userId = o.value(QStringLiteral("user")).toString();
    p.grantedBy = o.value(QStringLiteral("grantedBy")).toString();
    p.validFrom = o.value(QStringLiteral("validFrom")).toDouble();
    p.validTo = o.value(QStringLiteral("validTo")).toDouble();
    const qint64 bits = rights.toInteger();
    if (bits < 0 || bits > 0xFFFFFFFFLL) {
        return std::nullopt;
    }
    p.rights = static_cast<std::uint32_t>(bits);
    p.sealed = o.value(QStringLiteral("sealed")).toBool();
    for (const QJsonValue& v : o.value(QStringLiteral("approvers")).toArray()) {
        p.approvers.append(v.toString());
    }
    return p;
}

ByteWriter& operator<<(ByteWriter& out, const AccessPermission& p) {
    return out << p.id << p.userId << p.grantedBy << p.validFrom << p.validTo << quint32(p.rights)
               << p.sealed << p.approvers;
}

ByteReader& operator>>(ByteReader& in, AccessPermission& p) {
    quint32 rights = 0;
    in >> p.id >> p.userId >> p.grantedBy >> p.validFrom >> p.validTo >> rights >> p.sealed >>
        p.approvers;
    p.rights = rights;
    return in;
}

} // namespace keskor
