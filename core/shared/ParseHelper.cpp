#include "core/shared/ParseHelper.h"

#include <QLocale>
#include <cmath>

namespace keskor {

QString ParseHelper::stringFromBool(bool value, bool useBoolNames) {
    if (useBoolNames) {
        return value ? QStringLiteral("True") : QStringLiteral("False");
    }
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString ParseHelper::stringFromDouble(double value) {
    if (!std::isfinite(value)) {
        return QStringLiteral("0");
    }
    return QLocale::c().toString(value, 'g', QLocale::FloatingPointShortest);
}

QString ParseHelper::stringFromCurrency(double amount) {
    if (!std::isfinite(amount)) {
        return QStringLiteral("0.00");
    }
    QString text = QLocale::c().toString(amount, 'f', 4);
    // Trim to at least two decimals: 12.5000 -> 12.50, 0.1234 stays.
    while (text.endsWith(QLatin1Char('0')) && text.size() - text.indexOf(QLatin1Char('.')) > 3) {
        text.chop(1);
    }
    if (text == QLatin1String("-0.00")) {
        text = QStringLiteral("0.00");
    }
    return text;
}

QString ParseHelper::rawStringToXml(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        switch (u) {
        case u'&':
            out += QLatin1String("&amp;");
            continue;
        case u'<':
            out += QLatin1String("&lt;");
            continue;
        case u'>':
            out += QLatin1String("&gt;");
            continue;
        case u'"':
            out += QLatin1String("&quot;");
            continue;
        case u'\'':
            out += QLatin1String("&apos;");
            continue;
        // Written as references so that parsers keep them in attribute values too.
        case u'\t':
            out += QLatin1String("&#9;");
            continue;
        case u'\n':
            out += QLatin1String("&#10;");
            continue;
        case u'\r':
            out += QLatin1String("&#13;");
            continue;
        default:
            break;
        }
        if (u < 0x20 || u == 0xFFFE || u == 0xFFFF) {
            out += QChar(0xFFFD);
        } else if (c.isHighSurrogate()) {
            if (i + 1 < n && text.at(i + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++i);
            } else {
                out += QChar(0xFFFD);
            }
        } else if (c.isLowSurrogate()) {
            out += QChar(0xFFFD);
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<bool> ParseHelper::parseBool(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("1") || t == QLatin1String("true") || t == QLatin1String("yes")) {
        return true;
    }
    if (t == QLatin1String("0") || t == QLatin1String("false") || t == QLatin1String("no")) {
        return false;
    }
    return std::nullopt;
}

std::optional<double> ParseHelper::parseDouble(const QString& text) {
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<qint64> ParseHelper::parseInteger(const QString& text) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return v;
}

} // namespace keskor
