#include "bridge/AddonPasswordSettingsController.h"

#include "core/SettingManager.h"
#include "platform/Presenter.h"

namespace keskor {

AddonPasswordSettingsController::AddonPasswordSettingsController(SettingManager& settings,
                                                                 Presenter& presenter)
    : m_settings(settings), m_presenter(presenter) {
    refresh();
}

void AddonPasswordSettingsController::refresh() {
    setProtection(m_settings.addonProtectPassword().has_value());
}

void AddonPasswordSettingsController::setProtection(bool on) {
    addonPasswordCheck = on;
    addonPasswordChangeButton = on;
}

void AddonPasswordSettingsController::onProtectPasswordCheck() {
    const bool stored = m_settings.addonProtectPassword().has_value();
    if (stored && !addonPasswordCheck) {
        open(removeDialogId, {});
    } else if (!stored && addonPasswordCheck) {
        open(setDialogId, {{QStringLiteral("currentPassEnabled"), false}});
    }
}

void AddonPasswordSettingsController::onChangeProtectPassword() {
    open(setDialogId, {{QStringLiteral("currentPassEnabled"), true}});
}

void AddonPasswordSettingsController::open(const QString& dialogId, const QVariantMap& values) {
    if (m_opener) {
        m_opener(dialogId, values);
    } else {
        m_presenter.openDialog(dialogId, values);
    }
}

} // namespace keskor
