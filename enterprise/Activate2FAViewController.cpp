#include "enterprise/Activate2FAViewController.h"

#include "enterprise/EnterpriseLoginViewController.h"
#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

namespace keskor {

Activate2FAViewController::Activate2FAViewController(EnterpriseStorage& storage,
                                                     Presenter& presenter)
    : m_storage(storage), m_presenter(presenter) {}

std::function<void()> Activate2FAViewController::succeeded() {
    return [this, &presenter = m_presenter, alive = std::weak_ptr<int>(m_alive)] {
        presenter.hideBusy();
        if (!alive.expired() && m_view.close) {
            m_view.close();
        }
    };
}

std::function<void(const QString&)> Activate2FAViewController::failed() {
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

bool Activate2FAViewController::activate(const QString& code) {
    if (code.trimmed().isEmpty()) {
        m_presenter.alert(AlertStyle::warning, UiText::plain(QStringLiteral("Warning")),
                          UiText::key(QStringLiteral("error_input_required")), {});
        return false;
    }
    m_presenter.showBusy(UiText::key(QStringLiteral("connect_to_server")));
    m_storage.activate2FA(code.trimmed(), succeeded(), failed());
    return true;
}

} // namespace keskor
