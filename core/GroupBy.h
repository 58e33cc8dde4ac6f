#pragma once
// How the entry list is grouped. The raw values are the tags of the group-by menu items.

#include <optional>

namespace keskor {

enum class GroupBy : int { none = 0, type = 1, category = 2 };

class GroupBys {
public:
    /// The grouping of a menu tag; none for tags outside 0 to 2.
    static std::optional<GroupBy> fromRaw(int raw) {
        if (raw < static_cast<int>(GroupBy::none) || raw > static_cast<int>(GroupBy::category)) {
            return std::nullopt;
        }
        return static_cast<GroupBy>(raw);
    }
};

} // namespace keskor
