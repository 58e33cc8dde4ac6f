#pragma once
// A permission on an enterprise entry: which server user may do what, for how long, and
// whether the entry is sealed until an approver agrees.

#include "core/shared/ByteReader.h"
#include "core/shared/ByteWriter.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace keskor {

class AccessPermission {
public:
    QString id;
    /// The server user the permission is for; "null" when that user has no identifier.
    QString userId;
    /// The server user who granted it.
    QString grantedBy;
    /// Day numbers; 0 means no bound.
    double validFrom = 0.0;
    double validTo = 0.0;
    std::uint32_t rights = 0;
    bool sealed = false;
    QStringList approvers;

    /// True when `moment` (a day number) lies within the validity bounds.
    bool isValidAt(double moment) const;

    /// Compact JSON text, the form sent to the server.
    QString serialize() const;
    static std::optional<AccessPermission> deserialize(const QString& text);

    bool operator==(const AccessPermission&) const = default;
};

ByteWriter& operator<<(ByteWriter& out, const AccessPermission& p);
ByteReader& operator>>(ByteReader& in, AccessPermission& p);

} // namespace keskor
