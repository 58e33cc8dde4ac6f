#pragma once
// What the export dialog collected: the folder to export, whether its sub-folders are
// included, and optionally the entries chosen in the list.

#include "core/shared/Info2Item.h"

#include <QStringList>
#include <optional>

namespace keskor {

struct XmlExportOptions {
    /// The folder to export; null (or the database's root) exports the whole database.
    const Info2Item* folder = nullptr;
    bool includeSubfolders = true;
    /// Fingerprints of the selected entries; no value exports every entry. Folders are never
    /// filtered by the selection.
    std::optional<QStringList> selectedFingerprints;
};

} // namespace keskor
