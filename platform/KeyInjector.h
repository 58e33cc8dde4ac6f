#pragma once
// Key strokes sent into whichever window has the keyboard focus, as if typed on the keyboard.
// Auto-complete types its templates through it; text itself goes through the clipboard and a
// paste chord, so the keys needed are only these few.

namespace keskor {

enum class InjectedKey : int {
    Tab = 0,
    Enter,
    Space,
    Left,
    Right,
    Up,
    Down,
    Home,
    End,
    Delete,
    Backspace,
    A,
    V,
};

/// One key with the modifiers held while it is pressed.
struct KeyChord {
    InjectedKey key = InjectedKey::Tab;
    bool control = false;
    bool shift = false;

    bool operator==(const KeyChord&) const = default;
};

class KeyInjector {
public:
    virtual ~KeyInjector() = default;
    /// Presses and releases the chord's key with its modifiers held. Modifiers the user still
    /// holds (those of the shortcut that started the typing) are released first, so they do
    /// not turn a Tab into Alt+Tab. False when the display refused the events.
    virtual bool sendChord(const KeyChord& chord) = 0;
};

} // namespace keskor
