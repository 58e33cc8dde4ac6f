#pragma once
// Left-button presses anywhere on the screen through XInput 2 raw events on the root window:
// they reach us whichever window is clicked, without grabbing the pointer from it.

#include "platform/ClickMonitor.h"

namespace keskor {

class X11Display;

class X11ClickMonitor : public ClickMonitor {
public:
    explicit X11ClickMonitor(X11Display& display);
    void setClickHandler(std::function<void(QPoint)> handler) override;

private:
    void select(bool on);

    X11Display& m_display;
    std::function<void(QPoint)> m_handler;
};

} // namespace keskor
