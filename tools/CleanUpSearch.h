#pragma once
// Finds the entries of a database that may need tidying: expiring, unused, never used, with
// large attachments or a custom icon, as chosen by CleanUpSearchOptions.

#include "core/shared/Info2Item.h"
#include "core/shared/PassFile.h"
#include "tools/CleanUpSearchOptions.h"

#include <memory>
#include <vector>

namespace keskor {

class CleanUpSearch {
public:
    /// Every entry of the database (depth first, in stored order) that passes test().
    /// Folders are descended into but never listed.
    static std::vector<std::shared_ptr<Info2Item>> search(const PassFile& file,
                                                          const CleanUpSearchOptions& options);
    static bool test(const Info2Item& entry, const CleanUpSearchOptions& options);

    /// The size of an entry's attachments in KiB, rounded up, so that any attachment counts
    /// at least 1 and an entry without attachments counts 0.
    static qint64 attachmentSize(const Info2Item& entry);
};

} // namespace keskor
