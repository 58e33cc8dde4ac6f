#pragma once
// Key strokes through the XTest extension: the server treats them as real key presses and
// delivers them to the focused window.

#include "platform/KeyInjector.h"

namespace keskor {

class X11Display;

class X11KeyInjector : public KeyInjector {
public:
    explicit X11KeyInjector(X11Display& display);
    bool sendChord(const KeyChord& chord) override;

    /// The X keysym a key is typed with.
    static unsigned long keysymFor(InjectedKey key);

private:
    bool fakeKey(unsigned long keysym, bool press);
    void releaseHeldModifiers();

    X11Display& m_display;
};

} // namespace keskor
