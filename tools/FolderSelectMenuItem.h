#pragma once
// One choice of the folder pop-up of the find-and-replace dialog: a folder of the database
// (or the database itself, first), with its depth for indenting.

#include "core/shared/Info2Item.h"

#include <QString>

namespace keskor {

struct FolderSelectMenuItem {
    /// The folder (not owned); the database's root for the first item.
    const Info2Item* infoItem = nullptr;
    /// Empty for the root: the pop-up shows the database's name there.
    QString fingerprint;
    QString title;
    int depth = 0;
};

} // namespace keskor
