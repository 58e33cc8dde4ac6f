#pragma once
// Left mouse-button presses anywhere on the desktop, in other programs' windows too.

#include <QPoint>
#include <functional>

namespace keskor {

class ClickMonitor {
public:
    virtual ~ClickMonitor() = default;
    /// Called on the main thread for each left-button press, with the pointer's position in
    /// screen coordinates. An empty handler stops the reports.
    virtual void setClickHandler(std::function<void(QPoint)> handler) = 0;
};

} // namespace keskor
