#pragma once
// A key combination that reaches this program whichever window has the focus.

#include <QKeySequence>
#include <functional>

namespace keskor {

class GlobalShortcut {
public:
    virtual ~GlobalShortcut() = default;
    /// Replaces the shortcut (an empty sequence just drops the old one). `handler` runs on the
    /// main thread when the combination is let go, so its keys are up by then. False when the
    /// sequence cannot be expressed or another program holds it already.
    virtual bool setShortcut(const QKeySequence& sequence, std::function<void()> handler) = 0;
};

} // namespace keskor
