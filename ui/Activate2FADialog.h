#pragma once
// Shows the secret for the authenticator app (as text and as a QR image) and takes its first
// code, which activates two-factor log-in on the enterprise server.

#include "enterprise/Activate2FAViewController.h"

#include <QDialog>

class QLineEdit;

namespace keskor {

struct UiContext;

class Activate2FADialog : public QDialog {
    Q_OBJECT
public:
    Activate2FADialog(UiContext& ctx, EnterpriseStorage& storage, const QString& secret,
                      const QByteArray& qrCode, QWidget* parent = nullptr);

private:
    Activate2FAViewController m_controller;
    QLineEdit* m_code;
};

} // namespace keskor
