#pragma once
// Which top-level window of which program has the focus, and a call whenever that changes.
// Auto-complete types only into the window that was active when it began, and stops when
// another one (or none) takes over.

#include <QString>
#include <functional>
#include <optional>

namespace keskor {

struct ActiveWindow {
    /// The window system's identifier; never 0.
    quint64 id = 0;
    /// The owning process as the window declares it; 0 when it does not.
    qint64 pid = 0;
    /// The program's class name (WM_CLASS), e.g. "firefox" or "gnome-terminal-server".
    QString appName;

    bool operator==(const ActiveWindow&) const = default;
};

class ActiveWindowInfo {
public:
    virtual ~ActiveWindowInfo() = default;
    /// The focused window; none when no window has the focus.
    virtual std::optional<ActiveWindow> activeWindow() const = 0;
    /// Called on the main thread with the new active window each time it changes.
    virtual void setActivationHandler(std::function<void(const ActiveWindow&)> handler) = 0;
};

} // namespace keskor
