#include "enterprise/EntrySnapshot.h"

#include "core/shared/PassFileCodec.h"

#include <algorithm>

namespace keskor {

namespace {

struct Node {
    QString id;
    QString parentId;
    QByteArray item;
    bool isFolder;
    int depth;
};

// Pre-order, so every folder comes before what it holds.
void walk(const Info2Item& parent, const QString& parentId, int depth, std::vector<Node>& out) {
    for (const auto& child : parent.subItems()) {
        out.push_back({child->fingerprint(), parentId, PassFileCodec::serializeItem(*child),
                       child->isFolder, depth});
        walk(*child, child->fingerprint(), depth + 1, out);
    }
}

std::vector<Node> nodes(const PassFile& file) {
    std::vector<Node> out;
    walk(file.root(), QString(), 0, out);
    return out;
}

} // namespace

EntrySnapshot::EntrySnapshot(const PassFile& file) {
    for (Node& n : nodes(file)) {
        m_known.insert(n.id, Known{n.parentId, std::move(n.item), n.isFolder, n.depth});
    }
}

std::vector<EntrySnapshot::Edit> EntrySnapshot::diff(const PassFile& current) const {
    const std::vector<Node> now = nodes(current);
    std::vector<Edit> edits;
    QHash<QString, bool> present;
    for (bool folders : {true, false}) {
        for (const Node& n : now) {
            if (n.isFolder != folders) {
                continue;
            }
            present.insert(n.id, true);
            const auto add = folders ? ProtocolCommand::addFolder : ProtocolCommand::addItem;
            const auto move = folders ? ProtocolCommand::moveFolder : ProtocolCommand::moveItem;
            const auto update =
                folders ? ProtocolCommand::updateFolder : ProtocolCommand::updateItem;
            const auto known = m_known.constFind(n.id);
            if (known == m_known.constEnd() || known->isFolder != n.isFolder) {
                edits.push_back({add, n.id, n.parentId, n.item});
                continue;
            }
            if (known->parentId != n.parentId) {
                edits.push_back({move, n.id, n.parentId, {}});
            }
            if (known->item != n.item) {
                edits.push_back({update, n.id, n.parentId, n.item});
            }
        }
    }
    std::vector<std::pair<QString, Known>> gone;
    for (auto it = m_known.constBegin(); it != m_known.constEnd(); ++it) {
        if (!present.contains(it.key())) {
            gone.emplace_back(it.key(), it.value());
        }
    }
    // Entries first, then folders from the deepest, so nothing is deleted under a folder that
    // is already gone.
    std::sort(gone.begin(), gone.end(), [](const auto& a, const auto& b) {
        if (a.second.isFolder != b.second.isFolder) {
            return !a.second.isFolder;
        }
        if (a.second.depth != b.second.depth) {
            return a.second.depth > b.second.depth;
        }
        return a.first < b.first;
    });
    for (const auto& [id, known] : gone) {
        edits.push_back(
            {known.isFolder ? ProtocolCommand::deleteFolder : ProtocolCommand::deleteItem,
             id,
             known.parentId,
             {}});
    }
    return edits;
}

void EntrySnapshot::apply(const Edit& edit) {
    switch (edit.command) {
    case ProtocolCommand::deleteItem:
    case ProtocolCommand::deleteFolder:
        m_known.remove(edit.itemId);
        return;
    case ProtocolCommand::moveItem:
    case ProtocolCommand::moveFolder: {
        auto it = m_known.find(edit.itemId);
        if (it != m_known.end()) {
            it->parentId = edit.parentId;
            const auto parent = m_known.constFind(edit.parentId);
            it->depth = parent == m_known.constEnd() ? 0 : parent->depth + 1;
        }
        return;
    }
    default: {
        const bool folder = edit.command == ProtocolCommand::addFolder ||
                            edit.command == ProtocolCommand::updateFolder;
        const auto parent = m_known.constFind(edit.parentId);
        const int depth = parent == m_known.constEnd() ? 0 : parent->depth + 1;
        m_known.insert(edit.itemId, Known{edit.parentId, edit.item, folder, depth});
        return;
    }
    }
}

} // namespace keskor
