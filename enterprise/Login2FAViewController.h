#pragma once
// The two-factor code dialog of the enterprise log-in: the code from the authenticator and
// whether the server may trust this device from now on.

#include "enterprise/ServerDemandViewController.h"

#include <QByteArray>
#include <QString>

namespace keskor {

class Login2FAViewController : public ServerDemandViewController {
public:
    Login2FAViewController(EnterpriseStorage& storage, Presenter& presenter);

    /// Preset from the server: whether this device may be trusted.
    bool trust() const noexcept { return m_trust; }
    void setTrust(bool trust) { m_trust = trust; }
    /// Logs in again with the code; false (with a warning) for an empty one.
    bool confirm(const QString& code);

private:
    bool m_trust = false;
};

} // namespace keskor
