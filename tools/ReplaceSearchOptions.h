#pragma once
// What the find-and-replace tool looks for, where, and in which fields of an entry.

#include "core/shared/Info2Item.h"

#include <QString>

namespace keskor {

struct ReplaceSearchOptions {
    QString query;
    /// Where the search starts (not owned); the database's root for the whole database.
    const Info2Item* searchFolder = nullptr;
    bool includeSubFolder = true;
    bool matchCase = true;
    bool inDescription = true;
    bool inUsername = true;
    bool inPassword = true;
    /// The values of the custom fields; their names are never tested.
    bool inCustomField = true;
    bool inURL = false;
    bool inComments = false;
    /// Collected from the dialog; neither the search nor the replacement looks at web forms.
    bool inWebform = true;
};

} // namespace keskor
