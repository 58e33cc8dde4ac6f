#pragma once
// Identifiers of items, databases and access permissions.

#include <QString>

namespace keskor {

class FingerPrintHelper {
public:
    /// A new random identifier in the braced upper-case GUID form "{8-4-4-4-12}".
    static QString getNewFingerprint();
};

} // namespace keskor
