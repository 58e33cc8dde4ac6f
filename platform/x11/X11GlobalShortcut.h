#pragma once
// A global shortcut as a passive key grab (XGrabKey) on the root window, taken once for each
// combination of the Caps Lock and Num Lock states so that they do not defeat it.

#include "platform/GlobalShortcut.h"

#include <optional>

namespace keskor {

class X11Display;

class X11GlobalShortcut : public GlobalShortcut {
public:
    explicit X11GlobalShortcut(X11Display& display);
    ~X11GlobalShortcut() override;
    bool setShortcut(const QKeySequence& sequence, std::function<void()> handler) override;

    struct Grab {
        unsigned long keysym = 0;
        unsigned int modifiers = 0;
    };
    /// The keysym and X modifier mask of a single-chord sequence of a letter, digit, function
    /// key or Space with modifiers; none for anything else.
    static std::optional<Grab> grabFor(const QKeySequence& sequence);

private:
    void ungrab();

    X11Display& m_display;
    std::function<void()> m_handler;
    int m_keycode = 0;
    unsigned int m_modifiers = 0;
};

} // namespace keskor
