#include "tools/ReplaceSearch.h"

#include <type_traits>

namespace keskor {

namespace {

// The optional text fields in the order they are tested; custom fields come between the
// password and the URL.
constexpr ItemText kFieldsBeforeCustom[] = {ItemText::UserName, ItemText::Password};
constexpr ItemText kFieldsAfterCustom[] = {ItemText::Url, ItemText::Comment};

bool flagFor(const ReplaceSearchOptions& options, ItemText field) {
    switch (field) {
    case ItemText::UserName:
        return options.inUsername;
    case ItemText::Password:
        return options.inPassword;
    case ItemText::Url:
        return options.inURL;
    case ItemText::Comment:
        return options.inComments;
    default:
        return false;
    }
}

// Calls `visit` with each flagged field's text in test order; stops when it returns true.
// For a mutable entry the texts are handed by reference and what the visitor changed is
// written back.
template <typename Entry, typename Visit>
bool forEachField(Entry& entry, const ReplaceSearchOptions& o, Visit&& visit) {
    auto optionalField = [&](ItemText field) {
        if (!flagFor(o, field)) {
            return false;
        }
        std::optional<QString> value = entry.text(field);
        if (!value) {
            return false;
        }
        QString text = *value;
        const bool stop = visit(text);
        if constexpr (!std::is_const_v<Entry>) {
            if (text != *value) {
                entry.setText(field, text);
            }
        }
        return stop;
    };
    if (o.inDescription) {
        const QString before = entry.description();
        QString text = before;
        const bool stop = visit(text);
        if constexpr (!std::is_const_v<Entry>) {
            if (text != before) {
                entry.setDescription(text);
            }
        }
        if (stop) {
            return true;
        }
    }
    for (ItemText field : kFieldsBeforeCustom) {
        if (optionalField(field)) {
            return true;
        }
    }
    if (o.inCustomField && !entry.customFields().isEmpty()) {
        auto& fields = [&]() -> auto& {
            if constexpr (std::is_const_v<Entry>) {
                return entry.customFields();
            } else {
                return entry.mutableCustomFields();
            }
        }();
        for (auto& custom : fields) {
            if (visit(custom.value)) {
                return true;
            }
        }
    }
    for (ItemText field : kFieldsAfterCustom) {
        if (optionalField(field)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ReplaceSearch::contains(const QString& text, const QString& query, bool matchCase) {
    if (query.isEmpty()) {
        return false;
    }
    return text.contains(query, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

bool ReplaceSearch::test(const Info2Item& entry, const ReplaceSearchOptions& options) {
    if (entry.isFolder) {
        return false;
    }
    return forEachField(entry, options, [&](const QString& text) {
        return contains(text, options.query, options.matchCase);
    });
}

std::vector<std::shared_ptr<Info2Item>> ReplaceSearch::search(const Info2Item& folder,
                                                              const ReplaceSearchOptions& options) {
    std::vector<std::shared_ptr<Info2Item>> results;
    for (const auto& child : folder.subItems()) {
        if (test(*child, options)) {
            results.push_back(child);
        }
        if (options.includeSubFolder && child->isFolder) {
            auto below = search(*child, options);
            results.insert(results.end(), below.begin(), below.end());
        }
    }
    return results;
}

bool ReplaceSearch::replaceInEntry(Info2Item& entry, const ReplaceSearchOptions& options,
                                   const QString& replacement) {
    if (replacement.isEmpty() || options.query.isEmpty() || entry.isFolder) {
        return false;
    }
    bool changed = false;
    forEachField(entry, options, [&](QString& text) {
        if (contains(text, options.query, options.matchCase)) {
            const QString before = text;
            text.replace(options.query, replacement, Qt::CaseSensitive);
            changed = changed || text != before;
        }
        return false; // every flagged field is handled, not only the first
    });
    return changed;
}

} // namespace keskor
