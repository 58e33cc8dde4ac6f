#pragma once
// What the main window's navigation tree holds and which entries its list shows: the
// favourites, the database with its folders, the trash and the groups by entry kind or by
// category; the entries of the selected node, narrowed by the quick search as one types, and
// their order by a column. Works on the item tree directly and copies no entry, so a database
// of 100,000 entries is listed and searched within a keystroke.

#include "core/GroupBy.h"
#include "core/shared/Info2Item.h"

#include <QString>
#include <memory>
#include <vector>

namespace keskor {

class PassFile;

struct NavigationNode {
    enum class Kind : int { Favorites, Database, Folder, Trash, TypeGroup, CategoryGroup };
    Kind kind = Kind::Database;
    /// The folder of a Folder node.
    std::shared_ptr<Info2Item> folder;
    /// The raw entry type of a TypeGroup node.
    int type = 0;
    /// The category of a CategoryGroup node (empty: entries without one).
    QString category;
    /// Entries the node lists (not counting sub-folders).
    int count = 0;
    std::vector<NavigationNode> children;

    bool sameNode(const NavigationNode& other) const;
};

class EntryBrowser {
public:
    using Items = std::vector<std::shared_ptr<Info2Item>>;
    enum class Column : int { Description = 0, UserName, Url, Modified, Expiry, Count };

    /// The top-level nodes: favourites, the database (its folders below it), the trash, then
    /// one group per kind or category as `groupBy` says (none for GroupBy::none).
    static std::vector<NavigationNode> navigation(const PassFile& file, GroupBy groupBy);

    /// The entries of a node. With a search text, every entry of the database outside the
    /// trash (the trash's own entries when the trash is selected) whose description, user
    /// name, URL, comment or category contains it, case ignored.
    static Items entries(const PassFile& file, const NavigationNode& node,
                         const QString& search = {});
    /// Every entry outside the trash, depth first.
    static Items allEntries(const PassFile& file);
    /// Orders by a column; equal keys keep their order.
    static void sort(Items& items, Column column, bool ascending);
    /// Every category used in the database, sorted, for the editor's choice.
    static QStringList categories(const PassFile& file);
    /// Whether an entry passes the quick search.
    static bool matches(const Info2Item& item, const QString& search);
};

} // namespace keskor
