#pragma once
// What an importer made of an outside file: new top-level items (folders carry their entries
// and sub-folders, in the file's order) with counts, ready to be added to a database. An
// importer either returns all of it or throws; nothing half-read ever comes back.

#include "core/shared/Info2Item.h"

#include <QStringList>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace keskor {

/// `done` and `total` measure the input read so far; the last call has done == total.
using ImportProgress = std::function<void(qint64 done, qint64 total)>;

struct ImportedItems {
    /// Importers report progress once per this many items, so a callback costs nothing.
    static constexpr std::size_t kProgressStep = 1000;

    std::vector<std::shared_ptr<Info2Item>> items;
    std::size_t folderCount = 0;
    std::size_t entryCount = 0;
    /// Things left out that the user should hear about; never a secret.
    QStringList warnings;
};

} // namespace keskor
