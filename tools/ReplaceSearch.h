#pragma once
// Finds entries whose chosen text fields contain a search text, and replaces that text in them.
//
// Finding honours matchCase; replacing always matches the query exactly as written. So with
// matchCase off an entry holding only a differently cased form is found but left unchanged.

#include "core/shared/Info2Item.h"
#include "tools/ReplaceSearchOptions.h"

#include <memory>
#include <vector>

namespace keskor {

class ReplaceSearch {
public:
    /// Case-insensitive (Unicode case folding) unless matchCase. An empty query is never
    /// contained: it would match every field.
    static bool contains(const QString& text, const QString& query, bool matchCase);

    /// True when a flagged field contains the query; folders never pass.
    static bool test(const Info2Item& entry, const ReplaceSearchOptions& options);

    /// The folder's children that pass test(), in stored order; with includeSubFolder a
    /// folder's own results follow it at its place.
    static std::vector<std::shared_ptr<Info2Item>> search(const Info2Item& folder,
                                                          const ReplaceSearchOptions& options);

    /// Replaces every exact occurrence of the query in each flagged field that contains it.
    /// An empty replacement (or query) changes nothing. Returns true when a field changed.
    static bool replaceInEntry(Info2Item& entry, const ReplaceSearchOptions& options,
                               const QString& replacement);
};

} // namespace keskor
