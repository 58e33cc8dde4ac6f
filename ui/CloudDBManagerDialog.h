#pragma once
// The remote file browser of one cloud drive: its databases with size and date, signing in
// and out, listing again, creating and deleting, and opening the chosen one. The controller
// does the work; this only shows its state and forwards the user's actions.

#include "core/CloudDBManagerViewController.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace keskor {

class CloudDBManagerViewControllerDelegate;
struct UiContext;

class CloudDBManagerDialog : public QDialog {
    Q_OBJECT
public:
    /// `storage` is the store of `location`; `delegate` opens the chosen file. Both outlive
    /// the dialog. The first listing runs at once.
    CloudDBManagerDialog(UiContext& ctx, IRemoteStorage& storage, Location location,
                         CloudDBManagerViewControllerDelegate& delegate, QWidget* parent = nullptr);

    CloudDBManagerViewController& controller() { return m_controller; }

private:
    void showFiles();
    void showControls();
    void selectionChanged();

    UiContext& m_ctx;
    CloudDBManagerViewController m_controller;
    QLabel* m_title;
    QPushButton* m_signIn;
    QPushButton* m_signOut;
    QPushButton* m_refresh;
    QPushButton* m_new;
    QPushButton* m_delete;
    QStandardItemModel* m_model;
    QTableView* m_table;
    QLineEdit* m_fileName;
    QPushButton* m_open;
};

} // namespace keskor
