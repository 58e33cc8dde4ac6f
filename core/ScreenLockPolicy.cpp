#include "core/ScreenLockPolicy.h"

#include "core/LockManager.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"

namespace keskor {

ScreenLockPolicy::ScreenLockPolicy(SettingManager& settings, SessionManager& session,
                                   LockManager& lock)
    : m_settings(settings), m_session(session), m_lock(lock) {}

bool ScreenLockPolicy::sessionLocking() {
    if (!m_settings.lockOnScreenLock() || m_session.isLocked || !m_session.isDatabaseOpen()) {
        return false;
    }
    m_lock.lockFromStatusMenu();
    return true;
}

} // namespace keskor
