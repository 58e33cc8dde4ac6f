#include "platform/DesktopUrlOpener.h"

#include <QDesktopServices>

namespace keskor {

bool DesktopUrlOpener::openUrl(const QUrl& url) {
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace keskor
