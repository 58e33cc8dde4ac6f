#include "bridge/EntryUrlMatcher.h"

#include "core/shared/ItemTreeScan.h"

#include <algorithm>

namespace keskor {

namespace {

char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

} // namespace

bool EntryUrlMatcher::equalsAsciiCaseless(QStringView a, QStringView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i].unicode()) != asciiLower(b[i].unicode())) {
            return false;
        }
    }
    return true;
}

QStringView EntryUrlMatcher::beforeQuery(QStringView url) {
    const auto mark = url.indexOf(u'?');
    return mark < 0 ? url : url.first(mark);
}

bool EntryUrlMatcher::matchesUrl(const Info2Item& item, const QString& pageUrl) {
    if (const QString* url = item.findText(ItemText::Url);
        url && equalsAsciiCaseless(*url, pageUrl)) {
        return true;
    }
    for (const auto& additional : item.additionalUrls) {
        QString pattern = additional;
        pattern.remove(u'*');
        // An empty pattern would be contained in every URL.
        if (!pattern.isEmpty() && pageUrl.contains(pattern, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

EntryUrlMatcher::Items EntryUrlMatcher::findMatches(const Items& items, const QString& pageUrl,
                                                    const std::optional<QString>& userName) {
    Items matches;
    ItemTreeScan::forEach(items, [&](const std::shared_ptr<Info2Item>& item) {
        if (matchesUrl(*item, pageUrl)) {
            const QString* user = item->findText(ItemText::UserName);
            if (!userName || (user && *user == *userName)) {
                matches.push_back(item);
            }
        }
    });
    const QStringView page = beforeQuery(pageUrl);
    std::stable_partition(matches.begin(), matches.end(), [page](const auto& item) {
        const QString* url = item->findText(ItemText::Url);
        return url && equalsAsciiCaseless(beforeQuery(*url), page);
    });
    return matches;
}

} // namespace keskor
