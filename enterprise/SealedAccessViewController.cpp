#include "enterprise/SealedAccessViewController.h"

#include "core/shared/Info2Item.h"
#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

namespace keskor {

SealedAccessViewController::SealedAccessViewController(EnterpriseStorage& storage,
                                                       Presenter& presenter,
                                                       const PassFile& database,
                                                       std::shared_ptr<Info2Item> owner)
    : m_storage(storage), m_presenter(presenter), m_database(database), m_owner(std::move(owner)) {}

bool SealedAccessViewController::request(const QString& reasonText) {
    if (!canRequest(reasonText)) {
        return false;
    }
    m_presenter.showBusy(UiText::key(QStringLiteral("connect_to_server")));
    Presenter& presenter = m_presenter;
    m_storage.requestSealedAccess(
        m_database, m_owner ? m_owner->fingerprint() : QString(), reasonText.trimmed(),
        [this, &presenter, alive = std::weak_ptr<int>(m_alive)] {
            presenter.hideBusy();
            presenter.alert(AlertStyle::informational,
                            UiText::key(QStringLiteral("sealed_access_title")),
                            UiText::key(QStringLiteral("sealed_access_sent")), {});
            if (!alive.expired() && m_view.close) {
                m_view.close();
            }
        },
        [&presenter](const QString& message) {
            presenter.hideBusy();
            presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                            UiText::plain(message), {});
        });
    return true;
}

} // namespace keskor
