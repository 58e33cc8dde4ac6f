#pragma once
// The icon shown for an entry or folder: its custom image, or the icon of its kind from the
// desktop's icon theme, with the style's own icons where the theme has none.

#include <QIcon>

namespace keskor {

class Info2Item;

class EntryIcons {
public:
    static QIcon of(const Info2Item& item);
    static QIcon ofType(int rawType);
    /// The icons a user can pick for an entry, by index.
    static QList<QIcon> builtIn();

private:
    static QIcon themedOfType(int rawType);
};

} // namespace keskor
