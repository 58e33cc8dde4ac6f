#include "bridge/IgnoredUrls.h"

#include "bridge/EntryUrlMatcher.h"

namespace keskor {

bool IgnoredUrls::containsExactly(const PassFile& file, const QString& url) {
    return file.ignoredUrls().contains(url, Qt::CaseSensitive);
}

bool IgnoredUrls::containsIgnoringQuery(const PassFile& file, const QString& url) {
    const QStringView page = EntryUrlMatcher::beforeQuery(url);
    for (const auto& ignored : file.ignoredUrls()) {
        if (EntryUrlMatcher::equalsAsciiCaseless(EntryUrlMatcher::beforeQuery(ignored), page)) {
            return true;
        }
    }
    return false;
}

} // namespace keskor
