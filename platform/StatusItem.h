#pragma once
// The program's item in the desktop's status area (the tray icon). Locking switches it to the
// locked look so the user sees at a glance that the database needs its credentials again.

namespace keskor {

class StatusItem {
public:
    virtual ~StatusItem() = default;
    /// Shows the locked look (`locked` true) or the normal one.
    virtual void setLocked(bool locked) = 0;
};

} // namespace keskor
