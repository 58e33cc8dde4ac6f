#pragma once
// Auto-complete and the "open URL" command put together for the desktop program: the X11
// input (when the session has an X server), the helper that types, the global shortcut from
// the settings, the popup, and the browser helper behind the main window's "open URL".

#include "bridge/AutoCompleteHelper.h"
#include "bridge/AutoCompleteShortcutController.h"
#include "bridge/BrowserHelper.h"
#include "platform/DesktopUrlOpener.h"
#include "platform/ProcessAppLauncher.h"

#include <QPointer>
#include <memory>

namespace keskor {

class AutoCompletePopup;
class Clipboard;
class MainWindow;
class X11DesktopInput;
struct UiContext;

class DesktopAutoComplete {
public:
    DesktopAutoComplete(UiContext& ctx, MainWindow& window, Clipboard& clipboard);
    ~DesktopAutoComplete();

    /// Takes the shortcut of the settings again (after they changed).
    void applyShortcut();
    /// Opens the popup that waits for the click in the target program.
    void openPopup(const Info2Item& entry);

private:
    UiContext& m_ctx;
    MainWindow& m_window;
    DesktopUrlOpener m_opener;
    ProcessAppLauncher m_launcher;
    BrowserHelper m_browsers;
    std::unique_ptr<X11DesktopInput> m_input;
    std::unique_ptr<AutoCompleteHelper> m_helper;
    std::unique_ptr<AutoCompleteShortcutController> m_shortcut;
    QPointer<AutoCompletePopup> m_popup;
};

} // namespace keskor
