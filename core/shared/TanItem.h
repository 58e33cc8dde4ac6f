#pragma once
// One transaction number of a banking entry.

#include "core/shared/ByteReader.h"
#include "core/shared/ByteWriter.h"

#include <QString>

namespace keskor {

class TanItem {
public:
    QString number;
    QString value;
    /// Day number of its use; 0 while unused.
    double used = 0.0;
    double amount = 0.0;
    QString comment;
    QString ccode;

    bool isUsed() const { return used > 0.0; }
    bool operator==(const TanItem&) const = default;
};

ByteWriter& operator<<(ByteWriter& out, const TanItem& tan);
ByteReader& operator>>(ByteReader& in, TanItem& tan);

} // namespace keskor
