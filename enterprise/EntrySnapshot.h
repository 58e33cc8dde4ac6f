#pragma once
// What the server holds of an open enterprise database, item by item, so that a save sends
// only what changed since: adds, updates and moves of folders (parents first), then of
// entries, then deletions (entries, then folders from the deepest). Each edit the server
// accepts is applied here at once, so after a failure the next save sends the rest again.

#include "core/shared/PassFile.h"
#include "core/shared/ProtocolCommand.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

namespace keskor {

class EntrySnapshot {
public:
    struct Edit {
        ProtocolCommand command;
        QString itemId;
        /// The (new) parent; empty for the root.
        QString parentId;
        /// The item in PassFileCodec's item form; empty for deletes and moves.
        QByteArray item;
    };

    EntrySnapshot() = default;
    explicit EntrySnapshot(const PassFile& file);

    /// The edits that turn this snapshot into `current`, in a safe order.
    std::vector<Edit> diff(const PassFile& current) const;
    /// Records an edit the server accepted.
    void apply(const Edit& edit);

private:
    struct Known {
        QString parentId;
        QByteArray item;
        bool isFolder = false;
        int depth = 0;
    };
    QHash<QString, Known> m_known;
};

} // namespace keskor
