#pragma once
// The bridge-password part of the settings screen: a check box that is on exactly while a
// password is stored, and a change button enabled with it. Clicking the box or the button
// opens one of the two password dialogs, whose controllers report back here.

#include <QString>

namespace keskor {

class Presenter;
class SettingManager;

class AddonPasswordSettingsController {
public:
    static inline const QString setDialogId = QStringLiteral("WebSocketPasswordViewController");
    static inline const QString removeDialogId =
        QStringLiteral("WebSocketPasswordRemoveViewController");

    AddonPasswordSettingsController(SettingManager& settings, Presenter& presenter);

    /// The two elements as the stored password says.
    void refresh();
    /// The box was clicked; `addonPasswordCheck` already holds its new state.
    void onProtectPasswordCheck();
    void onChangeProtectPassword();

    /// Set by the dialogs when they end.
    void setProtection(bool on);

    bool addonPasswordCheck = false;
    bool addonPasswordChangeButton = false;

    SettingManager& settingManager() const { return m_settings; }

private:
    SettingManager& m_settings;
    Presenter& m_presenter;
};

} // namespace keskor
