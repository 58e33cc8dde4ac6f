#include "enterprise/EnterpriseChangePasswordViewController.h"

#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

namespace keskor {

EnterpriseChangePasswordViewController::EnterpriseChangePasswordViewController(
    EnterpriseStorage& storage, Presenter& presenter)
    : ServerDemandViewController(storage, presenter) {}

bool EnterpriseChangePasswordViewController::change(const QString& newPassword,
                                                    const QString& repeat) {
    if (!requireInput(!newPassword.isEmpty() && !repeat.isEmpty())) {
        return false;
    }
    if (newPassword != repeat) {
        m_presenter.alert(AlertStyle::warning, UiText::plain(QStringLiteral("Warning")),
                          UiText::key(QStringLiteral("error_password_mismatch")), {});
        return false;
    }
    m_presenter.showBusy(UiText::key(QStringLiteral("connect_to_server")));
    // The old password is the one the user just logged in with.
    const QString oldPassword =
        m_storage.credentials() ? m_storage.credentials()->password.value_or(QString()) : QString();
    m_storage.changePassword(oldPassword, newPassword, succeeded(), failed());
    return true;
}

} // namespace keskor
