#pragma once
// The chooser of the enterprise server's databases: log-in menu (standard or Azure), log-out,
// refresh, the list with name and rights, and opening the chosen database. The controller does
// the work; this shows its state and forwards the user's actions.

#include "enterprise/EnterpriseDBManagerViewController.h"

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QToolButton;

namespace keskor {

struct UiContext;

class EnterpriseDBManagerDialog : public QDialog {
    Q_OBJECT
public:
    EnterpriseDBManagerDialog(UiContext& ctx, EnterpriseStorage& storage,
                              EnterpriseDBManagerViewController::Opener opener,
                              QWidget* parent = nullptr);

    EnterpriseDBManagerViewController& controller() { return m_controller; }

private:
    void showFiles();
    void showControls();

    EnterpriseDBManagerViewController m_controller;
    QToolButton* m_login;
    QPushButton* m_logout;
    QPushButton* m_refresh;
    QStandardItemModel* m_model;
    QTableView* m_table;
    QLineEdit* m_fileName;
    QPushButton* m_open;
    QStringList m_shownPaths;
};

} // namespace keskor
