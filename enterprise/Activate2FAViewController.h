#pragma once
// The activation of two-factor codes during the enterprise log-in: shows the secret as text
// and as a QR image for the authenticator app, and sends the first code it makes.

#include "enterprise/ServerDemandViewController.h"

#include <QByteArray>
#include <QString>

namespace keskor {

class Activate2FAViewController : public ServerDemandViewController {
public:
    Activate2FAViewController(EnterpriseStorage& storage, Presenter& presenter);

    /// The secret for manual entry and the PNG bytes of its QR code.
    const QString& secret() const noexcept { return m_secret; }
    const QByteArray& qrCode() const noexcept { return m_qrCode; }
    void setSecret(const QString& secret, const QByteArray& qrCode) {
        m_secret = secret;
        m_qrCode = qrCode;
    }
    /// Activates with the first code; false (with a warning) for an empty one.
    bool activate(const QString& code);

private:
    QString m_secret;
    QByteArray m_qrCode;
};

} // namespace keskor
