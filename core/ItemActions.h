#pragma once
// The main view's changes to the open database: add, modify, move to the trash and back,
// delete for good, favourites, moves between folders. Each asks the access rights first and
// tells the user when they refuse, keeps the entry's history, runs the session save and posts
// "EntryDidChanged", so the window, the bridge dialogs and the tools change items one way.

#include "core/shared/Info2Item.h"

#include <functional>
#include <memory>
#include <vector>

namespace keskor {

class DatabaseController;
class NotificationCenter;
class PassFile;
class Presenter;
class SessionManager;

class ItemActions {
public:
    using Items = std::vector<std::shared_ptr<Info2Item>>;

    ItemActions(SessionManager& session, DatabaseController& databases,
                NotificationCenter& notifications, Presenter& presenter);

    /// Puts a new item into `folder` (the database's root for its top level). False, after
    /// telling the user, when the rights refuse or no database is open.
    bool addItem(std::shared_ptr<Info2Item> item, Info2Item& folder);
    /// Applies `edit` to the item, keeping its state before as a history version when the
    /// database keeps history, and stamps it modified.
    bool modifyItem(Info2Item& item, const std::function<void(Info2Item&)>& edit);
    /// Items not yet in the trash go there; items already in it are deleted for good.
    bool deleteItems(const Items& items);
    /// Takes items out of the trash.
    bool restoreItems(const Items& items);
    bool setFavorite(const Items& items, bool favorite);
    /// Moves the items into `folder`; a folder is never moved into itself or below itself.
    bool moveItems(const Items& items, Info2Item& folder);
    /// Deletes every item of the trash for good.
    bool emptyTrash();

    /// The open database, or null.
    PassFile* database() const;
    /// Every item marked as deleted, depth first.
    static Items trashedItems(const Info2Item& root);

private:
    bool refuse(const char* key);
    void changed();

    SessionManager& m_session;
    DatabaseController& m_databases;
    NotificationCenter& m_notifications;
    Presenter& m_presenter;
};

} // namespace keskor
