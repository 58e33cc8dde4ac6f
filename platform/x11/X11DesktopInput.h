#pragma once
// Auto-complete's desktop input on an X11 display, composed over one connection: key strokes,
// the active window, clicks and the global shortcut. Opening fails on a session without an X
// server (Wayland without XWayland); the program then runs without auto-complete.

#include "platform/x11/X11ActiveWindowInfo.h"
#include "platform/x11/X11ClickMonitor.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11GlobalShortcut.h"
#include "platform/x11/X11KeyInjector.h"

#include <memory>

namespace keskor {

class X11DesktopInput {
public:
    /// Null with `error` set when the display cannot be used.
    static std::unique_ptr<X11DesktopInput> open(const QString& displayName, QString* error);

    KeyInjector& keys() { return m_keys; }
    ActiveWindowInfo& windows() { return m_windows; }
    ClickMonitor& clicks() { return m_clicks; }
    GlobalShortcut& shortcut() { return m_shortcut; }

private:
    explicit X11DesktopInput(std::unique_ptr<X11Display> display);

    std::unique_ptr<X11Display> m_display;
    X11KeyInjector m_keys;
    X11ActiveWindowInfo m_windows;
    X11ClickMonitor m_clicks;
    X11GlobalShortcut m_shortcut;
};

} // namespace keskor
