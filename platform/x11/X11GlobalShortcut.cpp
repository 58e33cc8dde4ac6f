#include "platform/x11/X11GlobalShortcut.h"

#include "platform/x11/X11Display.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace keskor {

namespace {

const unsigned int kLockStates[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};
const unsigned int kRelevant = ControlMask | ShiftMask | Mod1Mask | Mod4Mask;

} // namespace

X11GlobalShortcut::X11GlobalShortcut(X11Display& display) : m_display(display) {
    display.addListener([this](XEvent& event) {
        if (event.type == KeyRelease && m_keycode != 0 && int(event.xkey.keycode) == m_keycode &&
            (event.xkey.state & kRelevant) == m_modifiers && m_handler) {
            m_handler();
        }
    });
}

X11GlobalShortcut::~X11GlobalShortcut() {
    ungrab();
}

std::optional<X11GlobalShortcut::Grab> X11GlobalShortcut::grabFor(const QKeySequence& sequence) {
    if (sequence.count() != 1) {
        return std::nullopt;
    }
    const QKeyCombination combination = sequence[0];
    const int key = combination.key();
    Grab grab;
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        grab.keysym = XK_a + (key - Qt::Key_A);
    } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        grab.keysym = XK_0 + (key - Qt::Key_0);
    } else if (key >= Qt::Key_F1 && key <= Qt::Key_F35) {
        grab.keysym = XK_F1 + (key - Qt::Key_F1);
    } else if (key == Qt::Key_Space) {
        grab.keysym = XK_space;
    } else {
        return std::nullopt;
    }
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    grab.modifiers = (modifiers & Qt::ControlModifier ? ControlMask : 0) |
                     (modifiers & Qt::ShiftModifier ? ShiftMask : 0) |
                     (modifiers & Qt::AltModifier ? Mod1Mask : 0) |
                     (modifiers & Qt::MetaModifier ? Mod4Mask : 0);
    // A bare letter would take that letter from every program.
    const bool functionKey = key >= Qt::Key_F1 && key <= Qt::Key_F35;
    if (grab.modifiers == 0 && !functionKey) {
        return std::nullopt;
    }
    return grab;
}

bool X11GlobalShortcut::setShortcut(const QKeySequence& sequence, std::function<void()> handler) {
    ungrab();
    if (sequence.isEmpty()) {
        return true;
    }
    const std::optional<Grab> grab = grabFor(sequence);
    if (!grab) {
        return false;
    }
    Display* display = m_display.display();
    const int keycode = XKeysymToKeycode(display, grab->keysym);
    if (keycode == 0) {
        return false;
    }
    m_display.beginChecked();
    for (unsigned int lock : kLockStates) {
        XGrabKey(display, keycode, grab->modifiers | lock, m_display.root(), False, GrabModeAsync,
                 GrabModeAsync);
    }
    m_keycode = keycode;
    m_modifiers = grab->modifiers;
    // Another program holding the combination makes the grab fail with BadAccess.
    if (!m_display.endChecked()) {
        ungrab();
        return false;
    }
    m_handler = std::move(handler);
    return true;
}

void X11GlobalShortcut::ungrab() {
    if (m_keycode == 0) {
        return;
    }
    for (unsigned int lock : kLockStates) {
        XUngrabKey(m_display.display(), m_keycode, m_modifiers | lock, m_display.root());
    }
    XFlush(m_display.display());
    m_keycode = 0;
    m_handler = nullptr;
}

} // namespace keskor
