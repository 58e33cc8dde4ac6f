#pragma once
// URLs opened by the desktop's handler (xdg-open and the desktop's default browser).

#include "platform/UrlOpener.h"

namespace keskor {

class DesktopUrlOpener : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override;
};

} // namespace keskor
