#include "enterprise/Activate2FAViewController.h"

#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

namespace keskor {

Activate2FAViewController::Activate2FAViewController(EnterpriseStorage& storage,
                                                     Presenter& presenter)
    : ServerDemandViewController(storage, presenter) {}

bool Activate2FAViewController::activate(const QString& code) {
    if (!requireInput(!code.trimmed().isEmpty())) {
        return false;
    }
    m_presenter.showBusy(UiText::key(QStringLiteral("connect_to_server")));
    m_storage.activate2FA(code.trimmed(), succeeded(), failed());
    return true;
}

} // namespace keskor
