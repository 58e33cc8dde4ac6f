#include "tools/CleanUpSearch.h"

#include "core/shared/DateTimeHelper.h"

#include <array>
#include <functional>

namespace keskor {

namespace {

void collect(const Info2Item& folder, const CleanUpSearchOptions& options,
             std::vector<std::shared_ptr<Info2Item>>& out) {
    for (const auto& child : folder.subItems()) {
        if (CleanUpSearch::test(*child, options)) {
            out.push_back(child);
        }
        collect(*child, options, out);
    }
}

} // namespace

std::vector<std::shared_ptr<Info2Item>> CleanUpSearch::search(const PassFile& file,
                                                              const CleanUpSearchOptions& options) {
    std::vector<std::shared_ptr<Info2Item>> results;
    collect(file.root(), options, results);
    return results;
}

qint64 CleanUpSearch::attachmentSize(const Info2Item& entry) {
    qint64 bytes = 0;
    for (const Attachment& attachment : entry.attachments()) {
        bytes += attachment.data.size();
    }
    return (bytes + 1023) / 1024;
}

bool CleanUpSearch::test(const Info2Item& entry, const CleanUpSearchOptions& options) {
    if (entry.isFolder) {
        return false;
    }
    // The enabled criteria, in the order they are tested. A stored value of 0 (no expiry, never
    // accessed) is compared as it is, so it lies before any chosen date.
    std::array<std::function<bool()>, 5> criteria;
    std::size_t count = 0;
    if (options.expiresBefore) {
        const double limit = DateTimeHelper::toDelphiTime(*options.expiresBefore);
        criteria[count++] = [&entry, limit] { return entry.expiryDate <= limit; };
    }
    if (options.withAttachmentBigger) {
        const qint64 limit = *options.withAttachmentBigger;
        criteria[count++] = [&entry, limit] { return attachmentSize(entry) >= limit; };
    }
    if (options.notUsedAfter) {
        const double limit = DateTimeHelper::toDelphiTime(*options.notUsedAfter);
        criteria[count++] = [&entry, limit] { return entry.lastAccessed <= limit; };
    }
    if (options.neverUsedEntries) {
        criteria[count++] = [&entry] { return entry.lastAccessed == 0.0; };
    }
    if (options.withCustomIcons) {
        criteria[count++] = [&entry] { return entry.icon.custom; };
    }

    const bool any = options.searchOperator == SearchOperator::OR;
    for (std::size_t i = 0; i < count; ++i) {
        if (criteria[i]() == any) {
            return any;
        }
    }
    // OR with nothing holding (or nothing enabled) is false; AND with nothing failing is true.
    return !any;
}

} // namespace keskor
