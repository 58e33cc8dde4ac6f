#pragma once
// The new password the enterprise server demands before it lets the user in: typed twice,
// sent with the old one, then the log-in runs again with it.

#include "enterprise/ServerDemandViewController.h"

#include <QByteArray>
#include <QString>

namespace keskor {

class EnterpriseChangePasswordViewController : public ServerDemandViewController {
public:
    EnterpriseChangePasswordViewController(EnterpriseStorage& storage, Presenter& presenter);

    /// False (with a warning) for an empty field or two different new passwords.
    bool change(const QString& newPassword, const QString& repeat);
};

} // namespace keskor
