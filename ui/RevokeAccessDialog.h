#pragma once
// Lists the permissions the user granted on the open enterprise database and withdraws the
// selected one.

#include "enterprise/RevokeAccessViewController.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace keskor {

struct UiContext;

class RevokeAccessDialog : public QDialog {
    Q_OBJECT
public:
    RevokeAccessDialog(UiContext& ctx, EnterpriseStorage& storage, const PassFile& database,
                       QWidget* parent = nullptr);

private:
    void showRows();

    RevokeAccessViewController m_controller;
    QTableWidget* m_table;
    QPushButton* m_revoke;
};

} // namespace keskor
