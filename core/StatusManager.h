#pragma once
// What the status bar shows: the current database, folder, entry and selection, and the
// status texts posted to it as "SetStatusBar".

#include "core/DatabaseInfo.h"
#include "core/StatusBarItem.h"

#include <QString>
#include <memory>
#include <optional>

namespace keskor {

class Info2Item;
class NotificationCenter;

class StatusManager {
public:
    explicit StatusManager(NotificationCenter& center);

    std::optional<DatabaseInfo> currentDB;
    std::shared_ptr<Info2Item> currentEntry;
    std::shared_ptr<Info2Item> currentFolder;
    int selectedCount = 0;

    /// Posts "SetStatusBar" with the cell, its text and whether the spinner runs.
    void updateStatus(StatusBarItem item, const QString& label, bool showLoading);

private:
    NotificationCenter& m_center;
};

} // namespace keskor
