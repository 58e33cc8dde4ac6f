#include "platform/x11/X11KeyInjector.h"

#include "platform/x11/X11Display.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace keskor {

X11KeyInjector::X11KeyInjector(X11Display& display) : m_display(display) {}

unsigned long X11KeyInjector::keysymFor(InjectedKey key) {
    switch (key) {
    case InjectedKey::Tab:
        return XK_Tab;
    case InjectedKey::Enter:
        return XK_Return;
    case InjectedKey::Space:
        return XK_space;
    case InjectedKey::Left:
        return XK_Left;
    case InjectedKey::Right:
        return XK_Right;
    case InjectedKey::Up:
        return XK_Up;
    case InjectedKey::Down:
        return XK_Down;
    case InjectedKey::Home:
        return XK_Home;
    case InjectedKey::End:
        return XK_End;
    case InjectedKey::Delete:
        return XK_Delete;
    case InjectedKey::Backspace:
        return XK_BackSpace;
    case InjectedKey::A:
        return XK_a;
    case InjectedKey::V:
        return XK_v;
    }
    return NoSymbol;
}

bool X11KeyInjector::fakeKey(unsigned long keysym, bool press) {
    const KeyCode code = XKeysymToKeycode(m_display.display(), keysym);
    if (code == 0) {
        return false;
    }
    return XTestFakeKeyEvent(m_display.display(), code, press ? True : False, CurrentTime) != 0;
}

void X11KeyInjector::releaseHeldModifiers() {
    char keys[32];
    XQueryKeymap(m_display.display(), keys);
    XModifierKeymap* map = XGetModifierMapping(m_display.display());
    if (!map) {
        return;
    }
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
        const KeyCode code = map->modifiermap[i];
        // Lock (Caps Lock) and Mod2 (Num Lock) are states, not held keys.
        const int modifier = i / map->max_keypermod;
        if (code == 0 || modifier == LockMapIndex || modifier == Mod2MapIndex) {
            continue;
        }
        if (keys[code / 8] & (1 << (code % 8))) {
            XTestFakeKeyEvent(m_display.display(), code, False, CurrentTime);
        }
    }
    XFreeModifiermap(map);
}

bool X11KeyInjector::sendChord(const KeyChord& chord) {
    releaseHeldModifiers();
    const unsigned long keysym = keysymFor(chord.key);
    bool ok = true;
    if (chord.control) {
        ok = fakeKey(XK_Control_L, true) && ok;
    }
    if (chord.shift) {
        ok = fakeKey(XK_Shift_L, true) && ok;
    }
    ok = fakeKey(keysym, true) && ok;
    ok = fakeKey(keysym, false) && ok;
    if (chord.shift) {
        fakeKey(XK_Shift_L, false);
    }
    if (chord.control) {
        fakeKey(XK_Control_L, false);
    }
    XFlush(m_display.display());
    return ok;
}

} // namespace keskor
