#pragma once
// The bridge-password part of the settings screen: a check box that is on exactly while a
// password is stored, and a change button enabled with it. Clicking the box or the button
// opens one of the two password dialogs, whose controllers report back here.

#include <QString>
#include <QVariantMap>
#include <functional>

namespace keskor {

class Presenter;
class SettingManager;

class AddonPasswordSettingsController {
public:
    static inline const QString setDialogId = QStringLiteral("WebSocketPasswordViewController");
    static inline const QString removeDialogId =
        QStringLiteral("WebSocketPasswordRemoveViewController");

    /// Opens one of the two dialogs (by the ids above) with its initial values.
    using DialogOpener = std::function<void(const QString& dialogId, const QVariantMap& values)>;

    AddonPasswordSettingsController(SettingManager& settings, Presenter& presenter);

    /// A window that shows the dialogs itself, over the settings screen and bound to this
    /// controller; without one they are asked of the presenter.
    void setDialogOpener(DialogOpener opener) { m_opener = std::move(opener); }

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
    void open(const QString& dialogId, const QVariantMap& values);

    SettingManager& m_settings;
    Presenter& m_presenter;
    DialogOpener m_opener;
};

} // namespace keskor
