#include "bridge/WebSocketPasswordRemoveViewController.h"

#include "bridge/AddonPasswordSettingsController.h"
#include "core/SettingManager.h"
#include "platform/Presenter.h"

namespace keskor {

WebSocketPasswordRemoveViewController::WebSocketPasswordRemoveViewController(
    AddonPasswordSettingsController& delegate, Presenter& presenter)
    : m_delegate(delegate), m_presenter(presenter) {}

bool WebSocketPasswordRemoveViewController::onOk() {
    SettingManager& settings = m_delegate.settingManager();
    const std::optional<QString> stored = settings.addonProtectPassword();
    if (!stored || *stored != currentPassField) {
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                          UiText::key(QStringLiteral("invalid_password")), {});
        return false;
    }
    m_delegate.setProtection(false);
    settings.setAddonProtectPassword(std::nullopt);
    return true;
}

void WebSocketPasswordRemoveViewController::onCancel() {
    m_delegate.setProtection(true);
}

} // namespace keskor
