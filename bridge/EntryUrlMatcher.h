#pragma once
// Finds the entries stored for a web page: an entry whose URL is the page URL (ASCII letter
// case ignored), or one of whose additional URLs, asterisks removed, occurs in the page URL.
// Used to answer URL queries, to pick the entry a form is filled from and to recognise the
// entry a submitted form belongs to.

#include "core/shared/Info2Item.h"

#include <QString>
#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

namespace keskor {

class EntryUrlMatcher {
public:
    using Items = std::vector<std::shared_ptr<Info2Item>>;

    /// The matching items among `items` and everything below them, depth first. With a user
    /// name only items with exactly that user name count. Items whose URL up to its query is
    /// the page URL up to its query come first; otherwise the visiting order stays.
    static Items findMatches(const Items& items, const QString& pageUrl,
                             const std::optional<QString>& userName = std::nullopt);
    /// Whether one item (not its sub-items) matches the page URL.
    static bool matchesUrl(const Info2Item& item, const QString& pageUrl);

    /// Equality with ASCII letters folded (other characters compared as they are).
    static bool equalsAsciiCaseless(QStringView a, QStringView b);
    /// The text before the first question mark (all of it without one).
    static QStringView beforeQuery(QStringView url);
};

} // namespace keskor
