#pragma once
// Whether the signed-in user may do something with a database or one of its items. A database
// that does not come from an enterprise server allows everything; on an enterprise database
// the rights are those the server granted on the whole database, replaced for an item by the
// permissions that item carries for the user (a sealed permission grants nothing until it is
// approved).

#include "core/shared/Info2Item.h"
#include "core/shared/PassFile.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace keskor {

class RightsHelper {
public:
    /// The effective rights bits of the user on `item` (the database's when `item` is null).
    static std::uint32_t rightsFor(const PassFile& file, const Info2Item* item);

    /// May a new item be created in `folder` (null for the top level)?
    static bool checkCreateRights(const PassFile& file, const Info2Item* folder);
    static bool checkModifyRights(const PassFile& file, const Info2Item& item);
    static bool checkDeleteRights(const PassFile& file, const Info2Item& item);
    static bool checkDeleteRights(const PassFile& file,
                                  const std::vector<std::shared_ptr<Info2Item>>& items);
    static bool checkDBSaveAsRights(const PassFile& file);
    static bool checkDBExportRights(const PassFile& file);
    /// May the browser extension fill this entry into a page?
    static bool checkAddonFill(const PassFile& file, const Info2Item& item);
    /// May the browser extension offer this entry as a suggestion?
    static bool checkAddonSuggestion(const PassFile& file, const Info2Item& item);
};

} // namespace keskor
