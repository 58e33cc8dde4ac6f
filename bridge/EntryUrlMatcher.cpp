#include "bridge/EntryUrlMatcher.h"

#include "core/shared/ItemTreeScan.h"

#include <algorithm>

namespace keskor {

namespace {

char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

/// The same comparison against the stored UTF-8 bytes, converting only a non-ASCII text (so a
/// scan over a large database allocates nothing for the usual URL).
bool equalsAsciiCaselessUtf8(QByteArrayView utf8, QStringView b) {
    bool ascii = true;
    for (const char c : utf8) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (!ascii) {
        return EntryUrlMatcher::equalsAsciiCaseless(QString::fromUtf8(utf8), b);
    }
    if (utf8.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < b.size(); ++i) {
        if (asciiLower(char16_t(utf8[i])) != asciiLower(b[i].unicode())) {
            return false;
        }
    }
    return true;
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
    if (const std::optional<QByteArrayView> url = item.textUtf8(ItemText::Url);
        url && equalsAsciiCaselessUtf8(*url, pageUrl)) {
        return true;
    }
    for (const auto& additional : item.additionalUrls()) {
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
            const std::optional<QString> user = item->text(ItemText::UserName);
            if (!userName || (user && *user == *userName)) {
                matches.push_back(item);
            }
        }
    });
    const QStringView page = beforeQuery(pageUrl);
    std::stable_partition(matches.begin(), matches.end(), [page](const auto& item) {
        const std::optional<QString> url = item->text(ItemText::Url);
        return url && equalsAsciiCaseless(beforeQuery(*url), page);
    });
    return matches;
}

} // namespace keskor
