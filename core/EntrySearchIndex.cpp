#include "core/EntrySearchIndex.h"

namespace keskor {

EntrySearchIndex::EntrySearchIndex(Items items) : m_items(std::move(items)) {
    m_folded.reserve(m_items.size());
    QString text;
    for (const std::shared_ptr<Info2Item>& item : m_items) {
        text = item->description();
        for (const ItemText field :
             {ItemText::UserName, ItemText::Url, ItemText::Comment, ItemText::Category}) {
            if (const std::optional<QString> value = item->text(field)) {
                // A separator no search text holds keeps a match from spanning two fields.
                text += QChar(0x1F);
                text += *value;
            }
        }
        m_folded.push_back(text.toCaseFolded());
    }
}

EntrySearchIndex::Rows EntrySearchIndex::find(const QString& search, const Rows* within) const {
    const QString needle = search.trimmed().toCaseFolded();
    Rows rows;
    const auto test = [&](std::uint32_t row) {
        if (needle.isEmpty() || m_folded[row].contains(needle, Qt::CaseSensitive)) {
            rows.push_back(row);
        }
    };
    if (within) {
        for (const std::uint32_t row : *within) {
            if (row < m_folded.size()) {
                test(row);
            }
        }
    } else {
        rows.reserve(m_folded.size() / 4);
        for (std::uint32_t row = 0; row < m_folded.size(); ++row) {
            test(row);
        }
    }
    return rows;
}

EntrySearchIndex::Items EntrySearchIndex::itemsAt(const Rows& rows) const {
    Items items;
    items.reserve(rows.size());
    for (const std::uint32_t row : rows) {
        items.push_back(m_items[row]);
    }
    return items;
}

} // namespace keskor
