#pragma once
// Asks for the code of the authenticator app during the enterprise log-in, with the choice to
// trust this device.

#include "enterprise/Login2FAViewController.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace keskor {

struct UiContext;

class Login2FADialog : public QDialog {
    Q_OBJECT
public:
    Login2FADialog(UiContext& ctx, EnterpriseStorage& storage, bool trust,
                   const QString& description, QWidget* parent = nullptr);

private:
    Login2FAViewController m_controller;
    QLineEdit* m_code;
    QCheckBox* m_trust;
};

} // namespace keskor
