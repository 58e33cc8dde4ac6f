#pragma once
// The names posted on the NotificationCenter, and the user-info keys of "SetStatusBar".

#include <QString>

namespace keskor::NotificationNames {

/// Posted by the status manager; user info: StatusBarItem, Label, ShowLoading.
inline const QString SetStatusBar = QStringLiteral("SetStatusBar");
/// Observed by the main window, which rebuilds its location bar.
inline const QString SetLocationBar = QStringLiteral("SetLocationBar");
/// Posted after the grouping of the entry list changed.
inline const QString SetGroupBy = QStringLiteral("SetGroupBy");
/// Posted after the visibility of a window area changed.
inline const QString SetShowAreas = QStringLiteral("SetShowAreas");
/// Posted after an entry changed; result lists of analysis and search views refresh.
inline const QString EntryDidChanged = QStringLiteral("EntryDidChanged");

/// User-info keys of SetStatusBar.
inline const QString StatusBarItemKey = QStringLiteral("StatusBarItem");
inline const QString LabelKey = QStringLiteral("Label");
inline const QString ShowLoadingKey = QStringLiteral("ShowLoading");

} // namespace keskor::NotificationNames
