#pragma once
// Typed access to the layout preferences of the main window (grouping, visible areas, the last
// selected folder). Nothing is cached: every read goes to the defaults store, and reading a
// default never writes it.

#include "core/GroupBy.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace keskor {

class DefaultsStore;

class LocalStorageManager {
public:
    explicit LocalStorageManager(DefaultsStore& standardDefault);

    const QString groupbyKey = QStringLiteral("entry_group_by");
    const QString showNavigationAreaKey = QStringLiteral("show_navigation_area");
    const QString showDBonServerAreaKey = QStringLiteral("show_db_on_server_area");
    const QString showDetailAreaKey = QStringLiteral("show_detail_area");
    const QString showStatusBarKey = QStringLiteral("show_status_bar_area");
    const QString lastSelectedFolderKey = QStringLiteral("last_selected_folder");
    /// The main window's frame, saved under its autosave name.
    const QString windowFrameKey = QStringLiteral("KRWindowPositionSave");

    /// "none" and "type" read as themselves, any other stored word as category; nothing
    /// stored reads as type.
    GroupBy groupBy() const;
    /// Stores "none", "type" or "category".
    void setGroupBy(GroupBy groupBy);

    bool showNavigationArea() const;
    void setShowNavigationArea(bool show);
    bool showDBonServerArea() const;
    void setShowDBonServerArea(bool show);
    bool showDetailArea() const;
    void setShowDetailArea(bool show);
    bool showStatusBar() const;
    void setShowStatusBar(bool show);

    std::optional<QString> lastSelectedFolder() const;
    /// No value removes the stored folder.
    void setLastSelectedFolder(const std::optional<QString>& folder);

    /// The window geometry as the window saved it; empty when none is stored.
    QByteArray windowFrame() const;
    void setWindowFrame(const QByteArray& frame);

private:
    bool boolOr(const QString& key, bool fallback) const;

    DefaultsStore& m_standardDefault;
};

} // namespace keskor
