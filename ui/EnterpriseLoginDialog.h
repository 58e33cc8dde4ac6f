#pragma once
// The enterprise log-in: server address and port, user and password (standard method only),
// protocol version and TLS. Shows the controller's prefill and forwards OK.

#include "enterprise/EnterpriseLoginViewController.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace keskor {

struct UiContext;

class EnterpriseLoginDialog : public QDialog {
    Q_OBJECT
public:
    EnterpriseLoginDialog(UiContext& ctx, EnterpriseStorage& storage,
                          EnterpriseLoginViewController::Method method, QWidget* parent = nullptr);

    EnterpriseLoginViewController& controller() { return m_controller; }

private:
    EnterpriseLoginViewController::Input input() const;

    EnterpriseLoginViewController m_controller;
    QLineEdit* m_address;
    QLineEdit* m_port;
    QLineEdit* m_userName;
    QLineEdit* m_password;
    QComboBox* m_version;
    QCheckBox* m_ssl;
};

} // namespace keskor
