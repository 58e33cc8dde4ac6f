#pragma once
// Applies one per-entry edit, grant or revoke to a server-side database, with the checks the
// server makes first: the item, the parent and the permission must exist, a folder cannot move
// below itself, an added item must be new.

#include "core/shared/AccessPermission.h"
#include "core/shared/PassFile.h"
#include "enterprise/EnterpriseRequests.h"

#include <QString>
#include <cstdint>

namespace keskor::testing {

class ServerEntryEditor {
public:
    struct Outcome {
        std::int32_t result = IProtocol::ERR_SUCCESS;
        QString text;
        bool ok() const { return result == IProtocol::ERR_SUCCESS; }
    };

    explicit ServerEntryEditor(PassFile& file) : m_file(file) {}

    Outcome apply(const EnterpriseRequests::EntryEdit& edit);
    /// Adds the permission to the entry (replacing one with the same id), granted by `userId`.
    Outcome grant(const QString& itemId, AccessPermission permission, const QString& userId);
    /// Removes the permission; only the user who granted it may.
    Outcome revoke(const QString& permissionId, const QString& userId);
    /// The sealed permission `permissionId` of `itemId`, for an access request.
    Outcome checkSealed(const QString& itemId, const QString& permissionId);

private:
    /// The folder `id` names: the root for an empty id, nullptr when there is none.
    Info2Item* folder(const QString& id) const;
    Outcome add(const Info2Item& item, const QString& parentId);
    Outcome update(const Info2Item& item);
    Outcome remove(const QString& id);
    Outcome move(const QString& id, const QString& parentId);

    PassFile& m_file;
};

} // namespace keskor::testing
