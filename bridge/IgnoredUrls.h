#pragma once
// The two ways a page URL is tested against a database's ignored-URL list: the whole text
// exactly (before offering to save a form or answering a URL query), or up to the query part
// with ASCII letter case ignored (when the extension asks whether a page is ignored).

#include "core/shared/PassFile.h"

#include <QString>

namespace keskor {

class IgnoredUrls {
public:
    static bool containsExactly(const PassFile& file, const QString& url);
    static bool containsIgnoringQuery(const PassFile& file, const QString& url);
};

} // namespace keskor
