#include "bridge/WebSocketPasswordViewController.h"

#include "bridge/AddonPasswordSettingsController.h"
#include "core/SettingManager.h"
#include "core/shared/CommonException.h"
#include "platform/Presenter.h"

namespace keskor {

WebSocketPasswordViewController::WebSocketPasswordViewController(
    AddonPasswordSettingsController& delegate, Presenter& presenter)
    : currentPassEnabled(delegate.settingManager().addonProtectPassword().has_value()),
      m_delegate(delegate), m_presenter(presenter) {}

void WebSocketPasswordViewController::refuse(const QString& informativeKey) {
    m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_warning")),
                      UiText::key(informativeKey), {});
}

bool WebSocketPasswordViewController::onOk() {
    SettingManager& settings = m_delegate.settingManager();
    if (currentPassEnabled) {
        const std::optional<QString> stored = settings.addonProtectPassword();
        if (!stored || *stored != currentPassField) {
            refuse(QStringLiteral("invalid_password"));
            return false;
        }
    }
    if (newPassField != confirmPassField) {
        refuse(QStringLiteral("error_password_mismatch"));
        return false;
    }
    try {
        settings.setAddonProtectPassword(newPassField);
    } catch (const CommonException& e) {
        // The keychain could not keep the protection key: nothing was stored.
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                          UiText::plain(e.message()), {});
        return false;
    }
    m_delegate.setProtection(true);
    return true;
}

void WebSocketPasswordViewController::onCancel() {
    m_delegate.refresh();
}

} // namespace keskor
