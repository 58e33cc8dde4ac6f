#include "tools/DuplicateFinder.h"

#include <QHash>
#include <algorithm>

namespace keskor {

namespace {

void collect(const Info2Item& folder, QHash<QString, int>& index,
             std::vector<DuplicateFinder::Group>& groups) {
    for (const std::shared_ptr<Info2Item>& child : folder.subItems()) {
        if (child->isDeleted) {
            continue;
        }
        if (child->isFolder) {
            collect(*child, index, groups);
            continue;
        }
        const std::optional<QString> password = child->text(ItemText::Password);
        if (!password || password->isEmpty()) {
            continue;
        }
        const auto found = index.constFind(*password);
        if (found == index.cend()) {
            index.insert(*password, int(groups.size()));
            groups.push_back({child});
        } else {
            groups[std::size_t(*found)].push_back(child);
        }
    }
}

} // namespace

std::vector<DuplicateFinder::Group> DuplicateFinder::samePassword(const Info2Item& root) {
    QHash<QString, int> index;
    std::vector<Group> groups;
    collect(root, index, groups);
    std::erase_if(groups, [](const Group& g) { return g.size() < 2; });
    std::stable_sort(groups.begin(), groups.end(),
                     [](const Group& a, const Group& b) { return a.size() > b.size(); });
    return groups;
}

} // namespace keskor
