#pragma once
// One row of the revoke dialog: a permission the current user granted, and its entry.

#include "core/shared/AccessPermission.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace keskor {

class Info2Item;

struct RevokeItem {
    std::shared_ptr<Info2Item> entry;
    std::optional<AccessPermission> accessPermission;
    std::uint32_t right = 0;
};

} // namespace keskor
