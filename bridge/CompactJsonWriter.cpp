#include "bridge/CompactJsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>
#include <cmath>
#include <limits>

namespace keskor {

namespace {

char hexDigit(unsigned value) {
    return "0123456789abcdef"[value & 0xF];
}

void appendEscape(QByteArray& out, char16_t unit) {
    out.append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) {
        out.append(hexDigit(unit >> shift));
    }
}

void appendUtf8(QByteArray& out, char32_t code) {
    if (code < 0x800) {
        out.append(char(0xC0 | (code >> 6)));
    } else if (code < 0x10000) {
        out.append(char(0xE0 | (code >> 12)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
    } else {
        out.append(char(0xF0 | (code >> 18)));
        out.append(char(0x80 | ((code >> 12) & 0x3F)));
        out.append(char(0x80 | ((code >> 6) & 0x3F)));
    }
    out.append(char(0x80 | (code & 0x3F)));
}

void appendInteger(QByteArray& out, qint64 value) {
    out.append(QByteArray::number(value));
}

void appendDouble(QByteArray& out, double value) {
    // JSON has no infinities nor NaN.
    out.append(std::isfinite(value) ? QByteArray::number(value, 'g', QLocale::FloatingPointShortest)
                                    : QByteArrayLiteral("null"));
}

} // namespace

QByteArray CompactJsonWriter::write(const QVariantMap& object) {
    QByteArray out;
    out.reserve(256);
    appendObject(out, object);
    return out;
}

void CompactJsonWriter::appendObject(QByteArray& out, const QVariantMap& object) {
    out.append('{');
    bool first = true;
    for (auto it = object.cbegin(); it != object.cend(); ++it) {
        if (!std::exchange(first, false)) {
            out.append(',');
        }
        appendString(out, it.key());
        out.append(':');
        appendValue(out, it.value());
    }
    out.append('}');
}

void CompactJsonWriter::appendValue(QByteArray& out, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Nullptr:
        out.append("null");
        return;
    case QMetaType::Bool:
        out.append(value.toBool() ? "true" : "false");
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
        appendInteger(out, value.toLongLong());
        return;
    case QMetaType::ULongLong: {
        const qulonglong number = value.toULongLong();
        if (number <= qulonglong(std::numeric_limits<qint64>::max())) {
            appendInteger(out, qint64(number));
        } else {
            appendDouble(out, double(number));
        }
        return;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        appendDouble(out, value.toDouble());
        return;
    case QMetaType::QString:
        appendString(out, value.toString());
        return;
    case QMetaType::QVariantMap:
        appendObject(out, value.toMap());
        return;
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        out.append('[');
        bool first = true;
        for (const QVariant& element : value.toList()) {
            if (!std::exchange(first, false)) {
                out.append(',');
            }
            appendValue(out, element);
        }
        out.append(']');
        return;
    }
    default: {
        // Rare in a reply (dates, URLs, byte arrays, hashes…): Qt converts and writes them, as
        // the one element of an array whose brackets are dropped.
        const QByteArray text = QJsonDocument(QJsonArray{QJsonValue::fromVariant(value)})
                                    .toJson(QJsonDocument::Compact);
        out.append(text.constData() + 1, text.size() - 2);
        return;
    }
    }
}

void CompactJsonWriter::appendString(QByteArray& out, const QString& text) {
    out.append('"');
    const auto* unit = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = unit + text.size();
    while (unit != end) {
        const char16_t u = *unit++;
        if (u >= 0x80) {
            if (QChar::isHighSurrogate(u) && unit != end && QChar::isLowSurrogate(*unit)) {
                appendUtf8(out, QChar::surrogateToUcs4(u, *unit++));
            } else if (QChar::isSurrogate(u)) {
                appendEscape(out, u); // no UTF-8 for half a pair
            } else {
                appendUtf8(out, u);
            }
            continue;
        }
        switch (u) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (u < 0x20) {
                appendEscape(out, u);
            } else {
                out.append(char(u));
            }
        }
    }
    out.append('"');
}

} // namespace keskor
