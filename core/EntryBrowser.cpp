#include "core/EntryBrowser.h"

#include "core/EntryType.h"
#include "core/shared/ItemTreeScan.h"
#include "core/shared/PassFile.h"

#include <QMap>
#include <algorithm>
#include <set>

namespace keskor {

namespace {

/// Entries (not folders) of the tree outside the trash; a trashed folder hides what it holds.
template <typename Fn> void forEachLiveEntry(const Info2Item& folder, Fn&& fn) {
    for (const std::shared_ptr<Info2Item>& child : folder.subItems()) {
        if (child->isDeleted) {
            continue;
        }
        if (child->isFolder) {
            forEachLiveEntry(*child, fn);
        } else {
            fn(child);
        }
    }
}

NavigationNode folderNode(const std::shared_ptr<Info2Item>& folder) {
    NavigationNode node;
    node.kind = NavigationNode::Kind::Folder;
    node.folder = folder;
    for (const std::shared_ptr<Info2Item>& child : folder->subItems()) {
        if (child->isDeleted) {
            continue;
        }
        if (child->isFolder) {
            node.children.push_back(folderNode(child));
        } else {
            ++node.count;
        }
    }
    return node;
}

std::optional<QString> categoryOf(const Info2Item& item) {
    return item.text(ItemText::Category);
}

} // namespace

bool NavigationNode::sameNode(const NavigationNode& other) const {
    return kind == other.kind && folder == other.folder && type == other.type &&
           category == other.category;
}

std::vector<NavigationNode> EntryBrowser::navigation(const PassFile& file, GroupBy groupBy) {
    std::vector<NavigationNode> top;
    NavigationNode favorites{NavigationNode::Kind::Favorites};
    NavigationNode database{NavigationNode::Kind::Database};
    NavigationNode trash{NavigationNode::Kind::Trash};
    QMap<int, int> byType;
    QMap<QString, int> byCategory;
    forEachLiveEntry(file.root(), [&](const std::shared_ptr<Info2Item>& item) {
        favorites.count += item->isFavorite ? 1 : 0;
        ++byType[item->type];
        const std::optional<QString> category = categoryOf(*item);
        ++byCategory[category ? *category : QString()];
    });
    for (const std::shared_ptr<Info2Item>& child : file.items()) {
        if (child->isDeleted) {
            continue;
        }
        if (child->isFolder) {
            database.children.push_back(folderNode(child));
        } else {
            ++database.count;
        }
    }
    ItemTreeScan::forEach(file.items(), [&](const std::shared_ptr<Info2Item>& item) {
        trash.count += item->isDeleted ? 1 : 0;
    });
    top.push_back(std::move(favorites));
    top.push_back(std::move(database));
    top.push_back(std::move(trash));
    if (groupBy == GroupBy::type) {
        for (auto it = byType.cbegin(); it != byType.cend(); ++it) {
            NavigationNode node{NavigationNode::Kind::TypeGroup};
            node.type = it.key();
            node.count = it.value();
            top.push_back(std::move(node));
        }
    } else if (groupBy == GroupBy::category) {
        for (auto it = byCategory.cbegin(); it != byCategory.cend(); ++it) {
            NavigationNode node{NavigationNode::Kind::CategoryGroup};
            node.category = it.key();
            node.count = it.value();
            top.push_back(std::move(node));
        }
    }
    return top;
}

bool EntryBrowser::matches(const Info2Item& item, const QString& search) {
    if (item.description().contains(search, Qt::CaseInsensitive)) {
        return true;
    }
    for (const ItemText field :
         {ItemText::UserName, ItemText::Url, ItemText::Comment, ItemText::Category}) {
        const std::optional<QString> value = item.text(field);
        if (value && value->contains(search, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

EntryBrowser::Items EntryBrowser::entries(const PassFile& file, const NavigationNode& node,
                                          const QString& search) {
    Items found;
    const QString needle = search.trimmed();
    const auto take = [&](const std::shared_ptr<Info2Item>& item) {
        if (needle.isEmpty() || matches(*item, needle)) {
            found.push_back(item);
        }
    };
    using Kind = NavigationNode::Kind;
    if (node.kind == Kind::Trash) {
        // A trashed folder is listed itself, so it can be restored or deleted as a whole.
        ItemTreeScan::forEach(file.items(), [&](const std::shared_ptr<Info2Item>& item) {
            const Info2Item* parent = item->parent();
            if (item->isDeleted && (!parent || !parent->isDeleted)) {
                take(item);
            }
        });
        return found;
    }
    if (!needle.isEmpty()) {
        forEachLiveEntry(file.root(), take);
        return found;
    }
    switch (node.kind) {
    case Kind::Database:
    case Kind::Folder: {
        const Info2Item& folder =
            node.kind == Kind::Folder && node.folder ? *node.folder : file.root();
        for (const std::shared_ptr<Info2Item>& child : folder.subItems()) {
            if (!child->isDeleted && !child->isFolder) {
                found.push_back(child);
            }
        }
        break;
    }
    case Kind::Favorites:
        forEachLiveEntry(file.root(), [&](const std::shared_ptr<Info2Item>& item) {
            if (item->isFavorite) {
                found.push_back(item);
            }
        });
        break;
    case Kind::TypeGroup:
        forEachLiveEntry(file.root(), [&](const std::shared_ptr<Info2Item>& item) {
            if (item->type == node.type) {
                found.push_back(item);
            }
        });
        break;
    case Kind::CategoryGroup:
        forEachLiveEntry(file.root(), [&](const std::shared_ptr<Info2Item>& item) {
            const std::optional<QString> category = categoryOf(*item);
            if ((category ? *category : QString()) == node.category) {
                found.push_back(item);
            }
        });
        break;
    case Kind::Trash:
        break;
    }
    return found;
}

void EntryBrowser::sort(Items& items, Column column, bool ascending) {
    if (column == Column::Modified || column == Column::Expiry) {
        const auto day = [column](const Info2Item& item) {
            return column == Column::Modified ? item.lastModified : item.expiryDate;
        };
        std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
            return ascending ? day(*a) < day(*b) : day(*b) < day(*a);
        });
        return;
    }
    // Case-folding each text once and comparing the folded keys plainly is several times
    // faster than a case-insensitive comparison inside the sort, which folds on every call.
    const auto text = [column](const Info2Item& item) -> QString {
        if (column == Column::UserName || column == Column::Url) {
            return item.text(column == Column::UserName ? ItemText::UserName : ItemText::Url)
                .value_or(QString());
        }
        return item.description();
    };
    std::vector<std::pair<QString, std::shared_ptr<Info2Item>>> keyed;
    keyed.reserve(items.size());
    for (std::shared_ptr<Info2Item>& item : items) {
        keyed.emplace_back(text(*item).toCaseFolded(), std::move(item));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
        return ascending ? a.first < b.first : b.first < a.first;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        items[i] = std::move(keyed[i].second);
    }
}

EntryBrowser::Items EntryBrowser::allEntries(const PassFile& file) {
    Items found;
    found.reserve(file.itemCount());
    forEachLiveEntry(file.root(),
                     [&](const std::shared_ptr<Info2Item>& item) { found.push_back(item); });
    return found;
}

QStringList EntryBrowser::categories(const PassFile& file) {
    std::set<QString> found;
    ItemTreeScan::forEach(file.items(), [&](const std::shared_ptr<Info2Item>& item) {
        const std::optional<QString> category = categoryOf(*item);
        if (category && !category->isEmpty()) {
            found.insert(*category);
        }
    });
    return QStringList(found.begin(), found.end());
}

} // namespace keskor
