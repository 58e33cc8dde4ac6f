#include "core/ItemActions.h"

#include "core/DatabaseController.h"
#include "core/SessionManager.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/RightsHelper.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"
#include "platform/Presenter.h"

namespace keskor {

ItemActions::ItemActions(SessionManager& session, DatabaseController& databases,
                         NotificationCenter& notifications, Presenter& presenter)
    : m_session(session), m_databases(databases), m_notifications(notifications),
      m_presenter(presenter) {}

PassFile* ItemActions::database() const {
    return m_session.isDatabaseOpen() ? &*m_session.currentPassFile : nullptr;
}

bool ItemActions::refuse(const char* key) {
    m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                      UiText::key(QString::fromLatin1(key)), {});
    return false;
}

void ItemActions::changed() {
    m_session.currentPassFile->setModified(true);
    m_databases.saveSession(false);
    m_notifications.post(NotificationNames::EntryDidChanged);
}

bool ItemActions::addItem(std::shared_ptr<Info2Item> item, Info2Item& folder) {
    PassFile* file = database();
    if (!file || !item) {
        return false;
    }
    const Info2Item* rightsFolder = &folder == &file->root() ? nullptr : &folder;
    if (!RightsHelper::checkCreateRights(*file, rightsFolder)) {
        return refuse("error_no_rights_to_create");
    }
    if (item->lastModified == 0.0) {
        item->lastModified = DateTimeHelper::Now();
    }
    folder.addSubItem(std::move(item));
    changed();
    return true;
}

bool ItemActions::modifyItem(Info2Item& item, const std::function<void(Info2Item&)>& edit) {
    PassFile* file = database();
    if (!file) {
        return false;
    }
    if (!RightsHelper::checkModifyRights(*file, item)) {
        return refuse("error_no_rights_to_edit");
    }
    if (file->keepHistory && !item.isFolder) {
        item.pushHistory(file->maxHistory);
    }
    edit(item);
    item.lastModified = DateTimeHelper::Now();
    changed();
    return true;
}

bool ItemActions::deleteItems(const Items& items) {
    PassFile* file = database();
    if (!file || items.empty()) {
        return false;
    }
    if (!RightsHelper::checkDeleteRights(*file, items)) {
        return refuse("error_no_rights_to_edit");
    }
    for (const std::shared_ptr<Info2Item>& item : items) {
        if (!item->isDeleted) {
            item->isDeleted = true;
        } else if (Info2Item* parent = item->parent()) {
            parent->removeSubItem(item.get());
        }
    }
    changed();
    return true;
}

bool ItemActions::restoreItems(const Items& items) {
    PassFile* file = database();
    if (!file || items.empty()) {
        return false;
    }
    for (const std::shared_ptr<Info2Item>& item : items) {
        if (!RightsHelper::checkModifyRights(*file, *item)) {
            return refuse("error_no_rights_to_edit");
        }
    }
    for (const std::shared_ptr<Info2Item>& item : items) {
        item->isDeleted = false;
    }
    changed();
    return true;
}

bool ItemActions::setFavorite(const Items& items, bool favorite) {
    PassFile* file = database();
    if (!file || items.empty()) {
        return false;
    }
    for (const std::shared_ptr<Info2Item>& item : items) {
        if (!RightsHelper::checkModifyRights(*file, *item)) {
            return refuse("error_no_rights_to_edit");
        }
    }
    for (const std::shared_ptr<Info2Item>& item : items) {
        item->isFavorite = favorite;
    }
    changed();
    return true;
}

bool ItemActions::moveItems(const Items& items, Info2Item& folder) {
    PassFile* file = database();
    if (!file || items.empty()) {
        return false;
    }
    const Info2Item* rightsFolder = &folder == &file->root() ? nullptr : &folder;
    if (!RightsHelper::checkDeleteRights(*file, items) ||
        !RightsHelper::checkCreateRights(*file, rightsFolder)) {
        return refuse("error_no_rights_to_edit");
    }
    bool moved = false;
    for (const std::shared_ptr<Info2Item>& item : items) {
        bool intoItself = false;
        for (const Info2Item* f = &folder; f; f = f->parent()) {
            intoItself = intoItself || f == item.get();
        }
        Info2Item* parent = item->parent();
        if (intoItself || !parent || parent == &folder) {
            continue;
        }
        std::shared_ptr<Info2Item> detached = parent->removeSubItem(item.get());
        folder.addSubItem(std::move(detached));
        moved = true;
    }
    if (moved) {
        changed();
    }
    return moved;
}

bool ItemActions::emptyTrash() {
    PassFile* file = database();
    if (!file) {
        return false;
    }
    return deleteItems(trashedItems(file->root()));
}

ItemActions::Items ItemActions::trashedItems(const Info2Item& root) {
    Items found;
    // A trashed folder goes as a whole; what lies below it is not listed again.
    std::function<void(const Info2Item&)> walk = [&](const Info2Item& folder) {
        for (const std::shared_ptr<Info2Item>& child : folder.subItems()) {
            if (child->isDeleted) {
                found.push_back(child);
            } else if (child->isFolder) {
                walk(*child);
            }
        }
    };
    walk(root);
    return found;
}

} // namespace keskor
