#pragma once
// A depth-first walk over an item tree (each item, then its sub-items) that reads ahead in every
// list. A scan of a large database waits on memory, not on comparing: each item and then its
// text block are loads that miss the cache. Asking early for the items a few places on, and for
// the text blocks of the nearer ones, lets those waits overlap instead of adding up.

#include "core/shared/Info2Item.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace keskor {

class ItemTreeScan {
public:
    using Items = std::vector<std::shared_ptr<Info2Item>>;

    /// Calls `fn(item)` with each `const std::shared_ptr<Info2Item>&`, depth first.
    template <typename Fn> static void forEach(const Items& items, Fn&& fn) {
        const std::size_t count = items.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (i + 2 * Distance < count) {
                // The item itself: its text block and part pointers sit on its last line.
                __builtin_prefetch(&items[i + 2 * Distance]->textStore());
            }
            if (i + Distance < count) {
                // Its item was asked for Distance places ago, so reading it seldom waits.
                __builtin_prefetch(items[i + Distance]->textStore().storage());
            }
            const std::shared_ptr<Info2Item>& item = items[i];
            fn(item);
            forEach(item->subItems(), fn);
        }
    }

private:
    /// Places ahead the text blocks are fetched; the items come twice as far ahead. Measured on
    /// 100,000 entries: 4 does best, 16 loses most of the gain (cache lines evicted before use).
    static constexpr std::size_t Distance = 4;
};

} // namespace keskor
