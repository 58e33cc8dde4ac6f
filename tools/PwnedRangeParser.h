#pragma once
// Reads the answer of the breached-password range service: one "SUFFIX:COUNT" line per hash
// that shares the requested prefix. The match against our suffix is made here, locally.

#include <QString>

namespace keskor {

class PwnedRangeParser {
public:
    /// The count of the last line whose suffix equals `suffix` (ignoring case); 0 when no line
    /// matches or the matching count is not a non-negative decimal number. Lines end at any
    /// Unicode line break; empty lines and lines without ':' are skipped.
    static qint64 countForSuffix(const QString& body, const QString& suffix);
};

} // namespace keskor
