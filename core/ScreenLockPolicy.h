#pragma once
// Locks the open database when the user leaves the computer (screen lock, suspend), unless the
// "lock on screen lock and suspend" setting is off. Without an open database, or when it is
// locked already, there is nothing to protect and the window is left alone.

namespace keskor {

class LockManager;
class SessionManager;
class SettingManager;

class ScreenLockPolicy {
public:
    ScreenLockPolicy(SettingManager& settings, SessionManager& session, LockManager& lock);

    /// The screen locked or the machine is about to sleep. True when it locked the database.
    bool sessionLocking();

private:
    SettingManager& m_settings;
    SessionManager& m_session;
    LockManager& m_lock;
};

} // namespace keskor
