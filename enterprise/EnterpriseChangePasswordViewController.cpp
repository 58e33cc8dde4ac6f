#include "enterprise/EnterpriseChangePasswordViewController.h"

#include "enterprise/EnterpriseLoginViewController.h"
#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

namespace keskor {

EnterpriseChangePasswordViewController::EnterpriseChangePasswordViewController(
    EnterpriseStorage& storage, Presenter& presenter)
    : m_storage(storage), m_presenter(presenter) {}

std::function<void()> EnterpriseChangePasswordViewController::succeeded() {
    return [this, &presenter = m_presenter, alive = std::weak_ptr<int>(m_alive)] {
        presenter.hideBusy();
        if (!alive.expired() && m_view.close) {
            m_view.close();
        }
    };
}

std::function<void(const QString&)> EnterpriseChangePasswordViewController::failed() {
    return [this, &presenter = m_presenter,
            alive = std::weak_ptr<int>(m_alive)](const QString& message) {
        presenter.hideBusy();
        if (alive.expired()) {
            return;
        }
        const bool demand = EnterpriseLoginViewController::isDemand(message);
        if (demand && m_view.close) {
            m_view.close();
        }
        EnterpriseLoginViewController::showFailure(m_presenter, m_storage, message);
    };
}

bool EnterpriseChangePasswordViewController::change(const QString& newPassword,
                                                    const QString& repeat) {
    if (newPassword.isEmpty() || repeat.isEmpty()) {
        m_presenter.alert(AlertStyle::warning, UiText::plain(QStringLiteral("Warning")),
                          UiText::key(QStringLiteral("error_input_required")), {});
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
