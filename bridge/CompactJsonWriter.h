#pragma once
// The compact JSON text of a reply map, written straight from its QVariant values. It gives the
// bytes QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Compact) gives, in
// a fraction of the time: that detour converts every value twice and allocates at each step, and
// a reply is on the path of every round trip of the browser bridge.

#include <QByteArray>
#include <QVariantMap>

namespace keskor {

class CompactJsonWriter {
public:
    /// Keys in the map's order; values as QJsonValue::fromVariant converts them.
    static QByteArray write(const QVariantMap& object);

private:
    static void appendObject(QByteArray& out, const QVariantMap& object);
    static void appendValue(QByteArray& out, const QVariant& value);
    static void appendString(QByteArray& out, const QString& text);
};

} // namespace keskor
