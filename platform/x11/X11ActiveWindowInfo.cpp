#include "platform/x11/X11ActiveWindowInfo.h"

#include "platform/x11/X11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace keskor {

X11ActiveWindowInfo::X11ActiveWindowInfo(X11Display& display)
    : m_display(display), m_activeAtom(display.atom("_NET_ACTIVE_WINDOW")) {
    XWindowAttributes attributes;
    XGetWindowAttributes(display.display(), display.root(), &attributes);
    XSelectInput(display.display(), display.root(),
                 attributes.your_event_mask | PropertyChangeMask);
    display.addListener([this](XEvent& event) {
        if (event.type == PropertyNotify && event.xproperty.atom == m_activeAtom) {
            propertyChanged();
        }
    });
}

void X11ActiveWindowInfo::setActivationHandler(std::function<void(const ActiveWindow&)> handler) {
    m_handler = std::move(handler);
    m_last = activeWindow();
}

void X11ActiveWindowInfo::propertyChanged() {
    std::optional<ActiveWindow> now = activeWindow();
    if (now == m_last) {
        return;
    }
    m_last = now;
    if (now && m_handler) {
        m_handler(*now);
    }
}

std::optional<unsigned long> X11ActiveWindowInfo::activeWindowHint() const {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display.display(), m_display.root(), m_activeAtom, 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) != Success) {
        return std::nullopt;
    }
    std::optional<unsigned long> window;
    if (data && type == XA_WINDOW && format == 32 && count == 1) {
        window = *reinterpret_cast<unsigned long*>(data);
    }
    if (data) {
        XFree(data);
    }
    return window;
}

std::optional<ActiveWindow> X11ActiveWindowInfo::activeWindow() const {
    std::optional<unsigned long> window = activeWindowHint();
    if (!window) {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(m_display.display(), &focus, &revert);
        window = focus;
    }
    if (*window == None || *window == PointerRoot || *window == m_display.root()) {
        return std::nullopt;
    }
    return describe(*window);
}

std::optional<ActiveWindow> X11ActiveWindowInfo::describe(unsigned long window) const {
    Display* display = m_display.display();
    const Atom pidAtom = m_display.atom("_NET_WM_PID");
    ActiveWindow result;
    result.id = window;
    // A window that has just been destroyed makes these requests fail: then it is not active.
    m_display.beginChecked();
    for (Window current = window; current != None && current != m_display.root();) {
        XClassHint hint{nullptr, nullptr};
        if (XGetClassHint(display, current, &hint)) {
            result.appName = QString::fromLocal8Bit(hint.res_class ? hint.res_class : "");
            XFree(hint.res_name);
            XFree(hint.res_class);
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display, current, pidAtom, 0, 1, False, XA_CARDINAL, &type,
                                   &format, &count, &after, &data) == Success &&
                data && format == 32 && count == 1) {
                result.pid = qint64(*reinterpret_cast<unsigned long*>(data));
            }
            if (data) {
                XFree(data);
            }
            break;
        }
        Window rootReturn = None, parent = None;
        Window* children = nullptr;
        unsigned int childCount = 0;
        if (!XQueryTree(display, current, &rootReturn, &parent, &children, &childCount)) {
            break;
        }
        if (children) {
            XFree(children);
        }
        current = parent;
    }
    if (!m_display.endChecked()) {
        return std::nullopt;
    }
    return result;
}

} // namespace keskor
