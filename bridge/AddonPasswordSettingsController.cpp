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
        m_presenter.openDialog(removeDialogId, {});
    } else if (!stored && addonPasswordCheck) {
        m_presenter.openDialog(setDialogId, {{QStringLiteral("currentPassEnabled"), false}});
    }
}

void AddonPasswordSettingsController::onChangeProtectPassword() {
    m_presenter.openDialog(setDialogId, {{QStringLiteral("currentPassEnabled"), true}});
}

} // namespace keskor
