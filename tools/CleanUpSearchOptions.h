#pragma once
// The criteria of a clean-up search and how they combine.

#include <QDateTime>
#include <optional>

namespace keskor {

enum class SearchOperator : int { OR = 0, AND = 1 };

struct CleanUpSearchOptions {
    SearchOperator searchOperator = SearchOperator::OR;
    std::optional<QDateTime> expiresBefore;
    /// In the unit of CleanUpSearch::attachmentSize (KiB), compared unchanged.
    std::optional<qint64> withAttachmentBigger;
    std::optional<QDateTime> notUsedAfter;
    bool neverUsedEntries = false;
    /// Collected from the dialog; the search does not test it.
    bool withHistory = false;
    bool withCustomIcons = false;
};

} // namespace keskor
