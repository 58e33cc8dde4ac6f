#pragma once
// Grants a server user a permission on one enterprise entry: the user, the validity, the
// rights and the seal with its approvers. Shows the controller's lists and forwards finish.

#include "enterprise/GrantAccessViewController.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace keskor {

struct UiContext;

class GrantAccessDialog : public QDialog {
    Q_OBJECT
public:
    GrantAccessDialog(UiContext& ctx, EnterpriseStorage& storage, const PassFile& database,
                      std::shared_ptr<Info2Item> entry, QWidget* parent = nullptr);

private:
    GrantAccessViewController::Input input() const;
    void showApprovers();
    void updateEnabled();

    GrantAccessViewController m_controller;
    QTableWidget* m_users;
    QCheckBox* m_validFromCheck;
    QDateTimeEdit* m_validFromDate;
    QCheckBox* m_validToCheck;
    QDateTimeEdit* m_validToDate;
    QCheckBox* m_use;
    QCheckBox* m_read;
    QCheckBox* m_modify;
    QCheckBox* m_delete;
    QCheckBox* m_seal;
    QComboBox* m_approverChoice;
    QPushButton* m_addApprover;
    QPushButton* m_removeApprover;
    QListWidget* m_approvers;
    QPushButton* m_finish;
};

} // namespace keskor
