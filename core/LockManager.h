#pragma once
// Locks the open database after a period without user input in the program, or on request from
// the status menu, and unlocks it again with the credentials it was opened with. A lock hides
// the windows, switches the status item to its locked look and drops the session's credentials
// and derived keys; the database stays loaded in the session. Lives on the main thread; the
// session, presenter, status item and clock must outlive it.

#include "platform/Clock.h"

#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace keskor {

class ActivityMonitor;
class Credentials;
class Presenter;
class SessionManager;
class StatusItem;
struct CredentialsAnswer;

class LockManager {
public:
    /// `autoLockMinutes` reads the lock-time setting afresh on every use (-1 = never lock).
    LockManager(SessionManager& session, Presenter& presenter, StatusItem& statusItem, Clock& clock,
                std::function<int()> autoLockMinutes);
    ~LockManager();
    LockManager(const LockManager&) = delete;
    LockManager& operator=(const LockManager&) = delete;

    /// Watches every input event of the application (from now on each one restarts the idle
    /// timer) and starts the timer. Call once the main window has loaded.
    void startMonitoring();
    bool isMonitoring() const noexcept { return m_monitor != nullptr; }

    /// Drops the pending idle lock and, unless the lock time is -1, schedules a new one the lock
    /// time from now.
    void restartIdleTimer();
    /// The timer's action: locks when a database is open and the session is not locked yet.
    void idleLock();
    /// The status menu's lock: locks whatever the window shows.
    void lockFromStatusMenu();
    /// Called when the program is to be shown again. While locked with a database open, asks
    /// for its credentials until they match or the user cancels. True when the windows may show
    /// (and were shown); false when the database stays locked.
    bool unlock();
    /// Brings the status item's look in line with the session, e.g. after a database was
    /// opened afresh, which clears the lock.
    void updateLockedLook();

    /// The pending idle lock, if any.
    const std::optional<Clock::TimerId>& idleTimer() const noexcept { return m_idleTimer; }
    /// The lock time in milliseconds as used for the timer; no value for "never".
    std::optional<qint64> idleIntervalMs() const;

    /// Larger files are not key files; the limit keeps a wrong choice from being read whole.
    static constexpr qint64 kMaxKeyFileBytes = 64 * 1024;

private:
    void lock();
    /// Builds credentials from a prompt's answer (the password only when the database has one,
    /// the key of the chosen key file) and makes them the session's again when they are the
    /// right ones; throws CommonException with the text shown to the user otherwise.
    void acceptCredentials(const CredentialsAnswer& answer, bool withPassword);

    SessionManager& m_session;
    Presenter& m_presenter;
    StatusItem& m_statusItem;
    Clock& m_clock;
    std::function<int()> m_autoLockMinutes;
    std::optional<Clock::TimerId> m_idleTimer;
    std::unique_ptr<ActivityMonitor> m_monitor;
};

} // namespace keskor
