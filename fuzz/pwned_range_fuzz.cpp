// Feeds arbitrary text to the reader of the breached-password range answer, with a suffix
// taken from the input's first line: a count that is never negative, and the count of a line
// appended for that very suffix once the rest has been read.

#include "fuzz/FixedKey.h"
#include "tools/PwnedRangeParser.h"

#include <QRegularExpression>
#include <cstddef>
#include <cstdint>

using namespace keskor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QRegularExpression breaks(
        QStringLiteral("[\\x{0a}-\\x{0d}\\x{85}\\x{2028}\\x{2029}]"));
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype newline = text.indexOf(QLatin1Char('\n'));
    const QString suffix = newline < 0 ? text : text.left(newline);
    const QString body = newline < 0 ? QString() : text.mid(newline + 1);
    if (PwnedRangeParser::countForSuffix(body, suffix) < 0) {
        fuzz::broken();
    }
    if (!suffix.isEmpty() && !suffix.contains(QLatin1Char(':')) && !suffix.contains(breaks) &&
        PwnedRangeParser::countForSuffix(
            body + QStringLiteral("\r\n") + suffix + QStringLiteral(":4321\r\n"), suffix) != 4321) {
        fuzz::broken();
    }
    return 0;
}
