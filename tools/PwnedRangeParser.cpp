#include "tools/PwnedRangeParser.h"

#include <QRegularExpression>

namespace keskor {

qint64 PwnedRangeParser::countForSuffix(const QString& body, const QString& suffix) {
    // LF, VT, FF, CR (a CR LF pair yields an empty piece, dropped), NEL, LS, PS.
    static const QRegularExpression lineBreak(
        QStringLiteral("[\\x{000A}\\x{000B}\\x{000C}\\x{000D}\\x{0085}\\x{2028}\\x{2029}]"));
    qint64 count = 0;
    const QStringList lines = body.split(lineBreak, Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList parts = line.split(u':');
        if (parts.size() < 2) {
            continue;
        }
        if (parts[0].compare(suffix, Qt::CaseInsensitive) != 0) {
            continue;
        }
        bool ok = false;
        const qint64 value = parts[1].toLongLong(&ok, 10);
        count = ok && value >= 0 ? value : 0;
    }
    return count;
}

} // namespace keskor
