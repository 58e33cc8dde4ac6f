#pragma once
// The logic of the settings dialog without its widgets: load() gives the values to show,
// confirm() checks and stores what the user entered, and the steppers nudge the number fields.
// The Qt dialog and the CLI bind their controls to it; alerts go through the presenter.

#include "core/SettingsValues.h"

#include <QString>
#include <functional>
#include <optional>

namespace keskor {

class Presenter;
class SettingManager;

class SettingsController {
public:
    /// Releases the running bridge server and starts it again on the given port.
    using RestartBridge = std::function<void(int port)>;

    /// The language identifier that follows the system.
    static inline const QString autoLanguage = QStringLiteral("auto");
    static constexpr int maxPort = 65535;

    enum class NumberField : int {
        clipboardClearTime = 0,
        autoLockTime = 1,
        backupCount = 2,
        port = 3
    };

    struct ConfirmResult {
        /// A port outside 1 to 65535 or a backup count below 1 was entered: the user was
        /// warned and nothing was stored, so the dialog stays open.
        bool rejected = false;
        /// The port differed from the stored one: it was stored and the bridge restarted.
        bool portChanged = false;
        /// The port text was not a number, so the default port was taken.
        bool portDefaulted = false;
        /// The language changed; it applies from the next start (the user was told).
        bool languageChanged = false;
    };

    SettingsController(SettingManager& settings, Presenter& presenter, RestartBridge restartBridge);

    /// The dialog's values from the stored settings.
    SettingsValues load() const;
    /// Stores the dialog's values: check boxes, port (restarting the bridge only when it
    /// changed), backup count, the two times, the language.
    ConfirmResult confirm(const SettingsValues& values);
    /// The reset command: the stored defaults, the bridge restarted when that changed its port,
    /// and the values to show now.
    SettingsValues resetToDefaults();
    /// Called after confirm or reset changed the auto-complete shortcut.
    void setShortcutChanged(std::function<void()> changed) {
        m_shortcutChanged = std::move(changed);
    }

    /// Smallest value a stepper accepts for the field.
    static int minimum(NumberField field);
    /// The field's number plus `step`, or no value when the result is below the field's
    /// minimum (the field then keeps its value). There is no upper bound but int's own.
    static std::optional<int> nudge(NumberField field, int current, int step);
    /// The same on the field's text; a text that is not a number counts as 0.
    static std::optional<QString> nudgeText(NumberField field, const QString& text, int step);

private:
    void storeLanguage(const QString& languageId, ConfirmResult& result);

    SettingManager& m_settings;
    Presenter& m_presenter;
    RestartBridge m_restartBridge;
    std::function<void()> m_shortcutChanged;
};

} // namespace keskor
