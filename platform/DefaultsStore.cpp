#include "platform/DefaultsStore.h"

#include <QDebug>
#include <cmath>
#include <limits>

namespace keskor {

namespace {

std::optional<bool> toBool(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return v.toDouble() != 0.0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = v.toString().trimmed().toLower();
        if (text == u"true" || text == u"yes" || text == u"1") {
            return true;
        }
        if (text == u"false" || text == u"no" || text == u"0") {
            return false;
        }
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<qint64> toInteger(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return v.toLongLong();
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max())) {
            return std::nullopt;
        }
        return qint64(u);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        // Only whole numbers inside the range: 2.5 or NaN is not an integer setting.
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9.0e15) {
            return std::nullopt;
        }
        return qint64(d);
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok, 10);
        return ok ? std::optional<qint64>(n) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> toText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return v.toString();
    default:
        return std::nullopt;
    }
}

std::optional<QStringList> toList(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::QStringList:
        return v.toStringList();
    case QMetaType::QString:
        return QStringList{v.toString()};
    case QMetaType::QVariantList: {
        QStringList out;
        for (const QVariant& item : v.toList()) {
            if (item.typeId() != QMetaType::QString) {
                return std::nullopt;
            }
            out.append(item.toString());
        }
        return out;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<bool> DefaultsStore::boolValue(const QString& key) const {
    const QVariant v = object(key);
    if (!v.isValid()) {
        return std::nullopt;
    }
    auto result = toBool(v);
    if (!result) {
        warnIgnored(key, "boolean");
    }
    return result;
}

std::optional<qint64> DefaultsStore::integerValue(const QString& key) const {
    const QVariant v = object(key);
    if (!v.isValid()) {
        return std::nullopt;
    }
    auto result = toInteger(v);
    if (!result) {
        warnIgnored(key, "integer");
    }
    return result;
}

std::optional<QString> DefaultsStore::stringValue(const QString& key) const {
    const QVariant v = object(key);
    if (!v.isValid()) {
        return std::nullopt;
    }
    auto result = toText(v);
    if (!result) {
        warnIgnored(key, "string");
    }
    return result;
}

std::optional<QStringList> DefaultsStore::stringList(const QString& key) const {
    const QVariant v = object(key);
    if (!v.isValid()) {
        return std::nullopt;
    }
    auto result = toList(v);
    if (!result) {
        warnIgnored(key, "list of strings");
    }
    return result;
}

void DefaultsStore::warnIgnored(const QString& key, const char* type) const {
    if (m_warnedKeys.contains(key)) {
        return;
    }
    m_warnedKeys.insert(key);
    // The value may be a secret in its protected form or a path; only the key is printed.
    qWarning().noquote() << "settings: the value of" << key << "is not a" << type
                         << "and is ignored; the default applies";
}

} // namespace keskor
