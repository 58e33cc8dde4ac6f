#pragma once
// The icon of an entry or folder: an index into the built-in icon set, or a custom image.

#include <QByteArray>

namespace keskor {

class IconItem {
public:
    /// Built-in icon index; -1 means the default icon of the entry's kind.
    int index = -1;
    /// True when `image` (PNG bytes) replaces the built-in icon.
    bool custom = false;
    QByteArray image;

    bool operator==(const IconItem&) const = default;
};

} // namespace keskor
