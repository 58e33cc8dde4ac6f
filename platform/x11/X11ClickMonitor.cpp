#include "platform/x11/X11ClickMonitor.h"

#include "platform/x11/X11Display.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace keskor {

X11ClickMonitor::X11ClickMonitor(X11Display& display) : m_display(display) {
    display.addListener([this](XEvent& event) {
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_display.xinputOpcode() ||
            !XGetEventData(m_display.display(), cookie)) {
            return;
        }
        const bool leftPress = cookie->evtype == XI_RawButtonPress &&
                               static_cast<XIRawEvent*>(cookie->data)->detail == Button1;
        XFreeEventData(m_display.display(), cookie);
        if (!leftPress || !m_handler) {
            return;
        }
        Window rootReturn = None, child = None;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        XQueryPointer(m_display.display(), m_display.root(), &rootReturn, &child, &rootX, &rootY,
                      &x, &y, &mask);
        m_handler(QPoint(rootX, rootY));
    });
}

void X11ClickMonitor::setClickHandler(std::function<void(QPoint)> handler) {
    m_handler = std::move(handler);
    select(bool(m_handler));
}

void X11ClickMonitor::select(bool on) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        XISetMask(bits, XI_RawButtonPress);
    }
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof(bits);
    mask.mask = bits;
    XISelectEvents(m_display.display(), m_display.root(), &mask, 1);
    XFlush(m_display.display());
}

} // namespace keskor
