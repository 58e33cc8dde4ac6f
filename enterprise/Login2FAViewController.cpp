#include "enterprise/Login2FAViewController.h"

#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

namespace keskor {

Login2FAViewController::Login2FAViewController(EnterpriseStorage& storage, Presenter& presenter)
    : ServerDemandViewController(storage, presenter) {}

bool Login2FAViewController::confirm(const QString& code) {
    if (!requireInput(!code.trimmed().isEmpty())) {
        return false;
    }
    m_presenter.showBusy(UiText::key(QStringLiteral("connect_to_server")));
    m_storage.confirm2FA(code.trimmed(), m_trust, succeeded(), failed());
    return true;
}

} // namespace keskor
