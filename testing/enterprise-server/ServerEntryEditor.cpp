#include "testing/enterprise-server/ServerEntryEditor.h"

namespace keskor::testing {

namespace {

using Outcome = ServerEntryEditor::Outcome;

Outcome notFound(const QString& what) {
    return {IProtocol::ERR_NOT_FOUND, what + QStringLiteral(" not found")};
}

Outcome wrong(const QString& why) {
    return {IProtocol::ERR_WRONG_PARAMETERS, why};
}

} // namespace

Info2Item* ServerEntryEditor::folder(const QString& id) const {
    if (id.isEmpty()) {
        return &m_file.root();
    }
    const std::shared_ptr<Info2Item> found = m_file.findItem(id);
    return found && found->isFolder ? found.get() : nullptr;
}

Outcome ServerEntryEditor::apply(const EnterpriseRequests::EntryEdit& edit) {
    switch (edit.command) {
    case ProtocolCommand::addItem:
    case ProtocolCommand::addFolder:
        return add(*edit.item, edit.parentId);
    case ProtocolCommand::updateItem:
    case ProtocolCommand::updateFolder:
        return update(*edit.item);
    case ProtocolCommand::deleteItem:
    case ProtocolCommand::deleteFolder:
        return remove(edit.itemId);
    case ProtocolCommand::moveItem:
    case ProtocolCommand::moveFolder:
        return move(edit.itemId, edit.parentId);
    default:
        return {IProtocol::ERR_UNKNOWN_COMMAND, QStringLiteral("Not an entry edit")};
    }
}

Outcome ServerEntryEditor::add(const Info2Item& item, const QString& parentId) {
    if (m_file.findItem(item.fingerprint())) {
        return wrong(QStringLiteral("An item with this identifier exists already"));
    }
    Info2Item* parent = folder(parentId);
    if (parent == nullptr) {
        return notFound(QStringLiteral("Parent folder"));
    }
    parent->addSubItem(std::make_shared<Info2Item>(item));
    return {};
}

Outcome ServerEntryEditor::update(const Info2Item& item) {
    const std::shared_ptr<Info2Item> existing = m_file.findItem(item.fingerprint());
    if (!existing) {
        return notFound(QStringLiteral("Item"));
    }
    if (existing->isFolder != item.isFolder) {
        return wrong(QStringLiteral("An entry cannot become a folder or a folder an entry"));
    }
    // The request carries the item alone: what lies below a folder stays as it is.
    auto replacement = std::make_shared<Info2Item>(item);
    while (!replacement->subItems().empty()) {
        replacement->removeSubItem(replacement->subItems().front().get());
    }
    while (!existing->subItems().empty()) {
        replacement->addSubItem(existing->removeSubItem(existing->subItems().front().get()));
    }
    Info2Item* parent = existing->parent();
    const auto& siblings = parent->subItems();
    std::size_t index = 0;
    while (siblings[index] != existing) {
        ++index;
    }
    parent->removeSubItem(existing.get());
    parent->insertSubItem(index, replacement);
    return {};
}

Outcome ServerEntryEditor::remove(const QString& id) {
    const std::shared_ptr<Info2Item> existing = m_file.findItem(id);
    if (!existing) {
        return notFound(QStringLiteral("Item"));
    }
    existing->parent()->removeSubItem(existing.get());
    return {};
}

Outcome ServerEntryEditor::move(const QString& id, const QString& parentId) {
    const std::shared_ptr<Info2Item> existing = m_file.findItem(id);
    if (!existing) {
        return notFound(QStringLiteral("Item"));
    }
    Info2Item* target = folder(parentId);
    if (target == nullptr) {
        return notFound(QStringLiteral("Target folder"));
    }
    for (const Info2Item* up = target; up != nullptr; up = up->parent()) {
        if (up == existing.get()) {
            return wrong(QStringLiteral("A folder cannot move into itself"));
        }
    }
    if (existing->parent() != target) {
        target->addSubItem(existing->parent()->removeSubItem(existing.get()));
    }
    return {};
}

Outcome ServerEntryEditor::grant(const QString& itemId, AccessPermission permission,
                                 const QString& userId) {
    const std::shared_ptr<Info2Item> entry = m_file.findItem(itemId);
    if (!entry) {
        return notFound(QStringLiteral("Entry"));
    }
    if (permission.id.isEmpty()) {
        return wrong(QStringLiteral("The permission has no identifier"));
    }
    permission.grantedBy = userId;
    for (AccessPermission& existing : entry->mutableAccessPermissions()) {
        if (existing.id == permission.id) {
            existing = permission;
            return {};
        }
    }
    entry->mutableAccessPermissions().append(permission);
    return {};
}

Outcome ServerEntryEditor::revoke(const QString& permissionId, const QString& userId) {
    std::vector<Info2Item*> pending{&m_file.root()};
    while (!pending.empty()) {
        Info2Item* item = pending.back();
        pending.pop_back();
        for (qsizetype i = 0; i < item->accessPermissions().size(); ++i) {
            if (item->accessPermissions()[i].id == permissionId) {
                const QString& grantor = item->accessPermissions()[i].grantedBy;
                if (!grantor.isEmpty() && grantor != userId) {
                    return {IProtocol::ERR_ACCESS_DENIED,
                            QStringLiteral("Only the user who granted a permission may revoke it")};
                }
                item->mutableAccessPermissions().removeAt(i);
                return {};
            }
        }
        for (const auto& child : item->subItems()) {
            pending.push_back(child.get());
        }
    }
    return notFound(QStringLiteral("Permission"));
}

Outcome ServerEntryEditor::checkSealed(const QString& itemId, const QString& permissionId) {
    const std::shared_ptr<Info2Item> entry = m_file.findItem(itemId);
    if (!entry) {
        return notFound(QStringLiteral("Entry"));
    }
    for (const AccessPermission& p : entry->accessPermissions()) {
        if (p.id == permissionId) {
            return p.sealed ? Outcome{} : wrong(QStringLiteral("The permission is not sealed"));
        }
    }
    return notFound(QStringLiteral("Permission"));
}

} // namespace keskor::testing
