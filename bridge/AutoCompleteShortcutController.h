#pragma once
// The global auto-complete shortcut (a setting, Ctrl+Alt+A unless changed): pressed in another
// program's window, it types the entry selected in the main window straight into that window;
// pressed in ours, it opens the auto-complete popup for that entry, which then waits for the
// click in the target.

#include "core/shared/Info2Item.h"

#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class AutoCompleteHelper;
class GlobalShortcut;
class Presenter;
class SettingManager;

class AutoCompleteShortcutController {
public:
    struct Hooks {
        /// The entry selected in the main window; null when none is.
        std::function<std::shared_ptr<Info2Item>()> selectedEntry;
        /// Opens the popup for the entry.
        std::function<void(const Info2Item&)> openPopup;
    };

    AutoCompleteShortcutController(AutoCompleteHelper& helper, GlobalShortcut& shortcut,
                                   const SettingManager& settings, Hooks hooks);

    /// Takes the shortcut of the setting, dropping the previous one. False (and logged) when
    /// the text is no shortcut or another program holds it.
    bool apply();
    void triggered();

private:
    AutoCompleteHelper& m_helper;
    GlobalShortcut& m_shortcut;
    const SettingManager& m_settings;
    Hooks m_hooks;
};

} // namespace keskor
