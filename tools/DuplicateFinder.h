#pragma once
// Finds entries that share a password: reused passwords are the first thing a user should
// change. Entries in the trash and empty passwords are left out.

#include "core/shared/Info2Item.h"

#include <memory>
#include <vector>

namespace keskor {

class DuplicateFinder {
public:
    using Group = std::vector<std::shared_ptr<Info2Item>>;

    /// Groups of two or more entries with the same password, largest first; within a group
    /// the entries keep their tree order.
    static std::vector<Group> samePassword(const Info2Item& root);
};

} // namespace keskor
