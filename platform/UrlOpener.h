#pragma once
// Hands a URL to the desktop's default handler for its scheme.

#include <QUrl>

namespace keskor {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    /// False when no handler took the URL.
    virtual bool openUrl(const QUrl& url) = 0;
};

} // namespace keskor
