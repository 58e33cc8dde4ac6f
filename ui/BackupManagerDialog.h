#pragma once
// The backup manager: the backups of the open database, newest first, sortable by name, size
// and date, and opening, restoring or deleting the chosen one through its controller.

#include "core/BackupManagerController.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace keskor {

struct UiContext;

class BackupManagerDialog : public QDialog {
    Q_OBJECT
public:
    explicit BackupManagerDialog(UiContext& ctx, QWidget* parent = nullptr);

    BackupManagerController& controller() { return m_controller; }

private:
    void showBackups();
    void updateButtons();
    int currentRow() const;

    UiContext& m_ctx;
    BackupManagerController m_controller;
    QStandardItemModel* m_model;
    QTableView* m_table;
    QLabel* m_folder;
    QPushButton* m_open;
    QPushButton* m_restore;
    QPushButton* m_delete;
};

} // namespace keskor
