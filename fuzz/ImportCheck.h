#pragma once
// What every importer promises about what it returns: the counts it reports are the folders
// and entries of the tree it hands over, and no folder lies deeper than its limit.

#include "fuzz/FixedKey.h"
#include "tools/ImportedItems.h"

namespace keskor::fuzz {

inline void countTree(const Info2Item& item, int depth, int maxDepth, std::size_t& folders,
                      std::size_t& entries) {
    if (depth > maxDepth) {
        broken();
    }
    ++(item.isFolder ? folders : entries);
    for (const auto& child : item.subItems()) {
        countTree(*child, depth + 1, maxDepth, folders, entries);
    }
}

inline void checkImport(const ImportedItems& imported, int maxDepth) {
    std::size_t folders = 0, entries = 0;
    for (const auto& item : imported.items) {
        if (!item) {
            broken();
        }
        countTree(*item, 1, maxDepth + 1, folders, entries);
    }
    if (folders != imported.folderCount || entries != imported.entryCount) {
        broken();
    }
}

} // namespace keskor::fuzz
