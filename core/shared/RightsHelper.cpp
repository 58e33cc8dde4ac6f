#include "core/shared/RightsHelper.h"

#include "core/shared/AccessRights.h"
#include "core/shared/DateTimeHelper.h"

namespace keskor {

std::uint32_t RightsHelper::rightsFor(const PassFile& file, const Info2Item* item) {
    if (!file.isEnterprise()) {
        return AccessRights::ALL;
    }
    if (item == nullptr) {
        return file.userRights;
    }
    const double now = DateTimeHelper::Now();
    bool found = false;
    std::uint32_t rights = 0;
    for (const AccessPermission& p : item->accessPermissions()) {
        if (p.userId != file.currentUserId) {
            continue;
        }
        found = true;
        if (!p.sealed && p.isValidAt(now)) {
            rights |= p.rights;
        }
    }
    return found ? rights : file.userRights;
}

bool RightsHelper::checkCreateRights(const PassFile& file, const Info2Item* folder) {
    return (rightsFor(file, folder) & AccessRights::PWD_ACCESS_MODIFY) != 0;
}

bool RightsHelper::checkModifyRights(const PassFile& file, const Info2Item& item) {
    return (rightsFor(file, &item) & AccessRights::PWD_ACCESS_MODIFY) != 0;
}

bool RightsHelper::checkDeleteRights(const PassFile& file, const Info2Item& item) {
    if ((rightsFor(file, &item) & AccessRights::PWD_ACCESS_DELETE) == 0) {
        return false;
    }
    // Deleting a folder deletes what it holds.
    for (const auto& child : item.subItems()) {
        if (!checkDeleteRights(file, *child)) {
            return false;
        }
    }
    return true;
}

bool RightsHelper::checkDeleteRights(const PassFile& file,
                                     const std::vector<std::shared_ptr<Info2Item>>& items) {
    for (const auto& item : items) {
        if (item && !checkDeleteRights(file, *item)) {
            return false;
        }
    }
    return true;
}

bool RightsHelper::checkDBSaveAsRights(const PassFile& file) {
    return !file.isEnterprise() || file.allowSaveAs;
}

bool RightsHelper::checkDBExportRights(const PassFile& file) {
    return !file.isEnterprise() || file.allowExport;
}

bool RightsHelper::checkAddonFill(const PassFile& file, const Info2Item& item) {
    if (item.doNotAddon) {
        return false;
    }
    const std::uint32_t rights = rightsFor(file, &item);
    return (rights & AccessRights::PWD_ACCESS_USE) != 0 ||
           (rights & AccessRights::PWD_ACCESS_READ) != 0;
}

bool RightsHelper::checkAddonSuggestion(const PassFile& file, const Info2Item& item) {
    return !item.doNotAddon && (rightsFor(file, &item) & AccessRights::PWD_ACCESS_READ) != 0;
}

} // namespace keskor
