#pragma once
// The new password the enterprise server demands, typed twice.

#include "enterprise/EnterpriseChangePasswordViewController.h"

#include <QDialog>

class QLineEdit;

namespace keskor {

struct UiContext;

class EnterpriseChangePasswordDialog : public QDialog {
    Q_OBJECT
public:
    EnterpriseChangePasswordDialog(UiContext& ctx, EnterpriseStorage& storage,
                                   QWidget* parent = nullptr);

private:
    EnterpriseChangePasswordViewController m_controller;
    QLineEdit* m_new;
    QLineEdit* m_repeat;
};

} // namespace keskor
