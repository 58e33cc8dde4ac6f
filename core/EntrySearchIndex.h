#pragma once
// The quick search over every entry as one types: each entry's searched texts (description,
// user name, URL, comment, category) case-folded once into one text, so a keystroke is a plain
// substring scan instead of a case-insensitive comparison per field and entry. A keystroke
// that extends the search only looks at the previous matches.

#include "core/shared/Info2Item.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace keskor {

class EntrySearchIndex {
public:
    using Items = std::vector<std::shared_ptr<Info2Item>>;
    using Rows = std::vector<std::uint32_t>;

    /// The entries in the order results are to be listed.
    explicit EntrySearchIndex(Items items);

    /// The rows whose texts contain `search` (case ignored), in index order; among `within`
    /// only, when given. An empty search matches every row.
    Rows find(const QString& search, const Rows* within = nullptr) const;
    Items itemsAt(const Rows& rows) const;
    std::size_t size() const noexcept { return m_items.size(); }

private:
    Items m_items;
    std::vector<QString> m_folded;
};

} // namespace keskor
