#include "enterprise/ServerDemandViewController.h"

#include "enterprise/EnterpriseLoginViewController.h"
#include "platform/Presenter.h"

namespace keskor {

ServerDemandViewController::ServerDemandViewController(EnterpriseStorage& storage,
                                                       Presenter& presenter)
    : m_storage(storage), m_presenter(presenter) {}

bool ServerDemandViewController::requireInput(bool given) {
    if (!given) {
        m_presenter.alert(AlertStyle::warning, UiText::plain(QStringLiteral("Warning")),
                          UiText::key(QStringLiteral("error_input_required")), {});
    }
    return given;
}

std::function<void()> ServerDemandViewController::succeeded() {
    return [this, &presenter = m_presenter, alive = std::weak_ptr<int>(m_alive)] {
        presenter.hideBusy();
        if (!alive.expired() && m_view.close) {
            m_view.close();
        }
    };
}

std::function<void(const QString&)> ServerDemandViewController::failed() {
    return [this, &presenter = m_presenter,
            alive = std::weak_ptr<int>(m_alive)](const QString& message) {
        presenter.hideBusy();
        if (alive.expired()) {
            return;
        }
        if (EnterpriseLoginViewController::isDemand(message) && m_view.close) {
            m_view.close();
        }
        EnterpriseLoginViewController::showFailure(m_presenter, m_storage, message);
    };
}

} // namespace keskor
