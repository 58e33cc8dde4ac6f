#pragma once
// The active window from the window manager's _NET_ACTIVE_WINDOW hint on the root window,
// watched for changes. Without a window manager (a bare X server) the keyboard focus stands in
// for it. The window's program comes from WM_CLASS and _NET_WM_PID of the window or, for a
// focused child window, of its nearest ancestor that has them.

#include "platform/ActiveWindowInfo.h"

namespace keskor {

class X11Display;

class X11ActiveWindowInfo : public ActiveWindowInfo {
public:
    explicit X11ActiveWindowInfo(X11Display& display);
    std::optional<ActiveWindow> activeWindow() const override;
    void setActivationHandler(std::function<void(const ActiveWindow&)> handler) override;

private:
    std::optional<unsigned long> activeWindowHint() const;
    std::optional<ActiveWindow> describe(unsigned long window) const;
    void propertyChanged();

    X11Display& m_display;
    unsigned long m_activeAtom;
    std::function<void(const ActiveWindow&)> m_handler;
    std::optional<ActiveWindow> m_last;
};

} // namespace keskor
