#pragma once
// What the window shows while no database is open: create, open, and the recent databases.

#include "core/DatabaseInfo.h"

#include <QWidget>

class QListWidget;

namespace keskor {

struct UiContext;

class StartView : public QWidget {
    Q_OBJECT
public:
    explicit StartView(UiContext& ctx, QWidget* parent = nullptr);
    /// Lists the recent databases again.
    void refresh();

Q_SIGNALS:
    void createRequested();
    void openRequested();
    void recentChosen(const keskor::DatabaseInfo& info);

private:
    UiContext& m_ctx;
    QListWidget* m_recent;
    QList<DatabaseInfo> m_infos;
};

} // namespace keskor
