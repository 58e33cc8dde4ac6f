#include "core/LockManager.h"

#include "core/SessionManager.h"
#include "core/shared/CommonException.h"
#include "core/shared/Credentials.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFileCodec.h"
#include "core/shared/SecureBytes.h"
#include "platform/ActivityMonitor.h"
#include "platform/Presenter.h"
#include "platform/StatusItem.h"

#include <QDebug>
#include <QFile>

namespace keskor {

namespace {

constexpr int kNeverLock = -1;
// The setter never stores less; a smaller stored value is treated as the shortest lock time
// rather than as "lock at once" on every input event.
constexpr int kMinLockMinutes = 1;

std::optional<Key256> keyOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw CommonException(QStringLiteral("The key file could not be read."));
    }
    QByteArray text = file.read(LockManager::kMaxKeyFileBytes);
    try {
        const Key256 key = KeyHelper::parseExternalKey(text);
        secureWipe(text);
        return key;
    } catch (...) {
        secureWipe(text);
        throw;
    }
}

} // namespace

LockManager::LockManager(SessionManager& session, Presenter& presenter, StatusItem& statusItem,
                         Clock& clock, std::function<int()> autoLockMinutes)
    : m_session(session), m_presenter(presenter), m_statusItem(statusItem), m_clock(clock),
      m_autoLockMinutes(std::move(autoLockMinutes)) {}

LockManager::~LockManager() {
    // The monitor goes first so no input event restarts a timer while the rest is torn down.
    m_monitor.reset();
    if (m_idleTimer) {
        m_clock.cancel(*m_idleTimer);
    }
}

void LockManager::startMonitoring() {
    if (!m_monitor) {
        m_monitor = std::make_unique<ActivityMonitor>([this] { restartIdleTimer(); });
    }
    restartIdleTimer();
}

std::optional<qint64> LockManager::idleIntervalMs() const {
    const int minutes = m_autoLockMinutes ? m_autoLockMinutes() : kNeverLock;
    if (minutes == kNeverLock) {
        return std::nullopt;
    }
    return qint64(std::max(minutes, kMinLockMinutes)) * 60 * 1000;
}

void LockManager::restartIdleTimer() {
    if (m_idleTimer) {
        m_clock.cancel(*m_idleTimer);
        m_idleTimer.reset();
    }
    if (const std::optional<qint64> interval = idleIntervalMs()) {
        m_idleTimer = m_clock.singleShot(*interval, [this] {
            m_idleTimer.reset();
            idleLock();
        });
    }
}

void LockManager::idleLock() {
    // The setting may have changed to "never" since the timer was started.
    if (m_session.isLocked || !idleIntervalMs() || !m_session.isDatabaseOpen()) {
        return;
    }
    lock();
}

void LockManager::lockFromStatusMenu() {
    lock();
}

void LockManager::lock() {
    m_session.isLocked = true;
    try {
        m_session.dropCredentials();
    } catch (const CommonException& e) {
        // Without the key the credentials could not be recognised again: keep them.
        qWarning().noquote() << "lock: the credentials are kept:" << e.message();
    }
    m_presenter.hideWindows();
    m_statusItem.setLocked(true);
}

bool LockManager::unlock() {
    if (!m_session.isLocked) {
        return true;
    }
    if (!m_session.isDatabaseOpen()) {
        // Locked from the status menu without a database: there is nothing to protect and no
        // credentials to check against, so coming back simply ends the lock.
        m_session.isLocked = false;
        updateLockedLook();
        m_presenter.showMainWindow();
        return true;
    }

    CredentialsRequest request;
    request.databaseName = m_session.currentDBInfo->name;
    request.hint = m_session.currentPassFile->hint.value_or(QString());
    // The prompt asks for the parts the database was opened with.
    request.askPassword = m_session.currentCredential ? m_session.currentCredential->hasPassword()
                                                      : m_session.droppedPassword();
    request.askKeyFile = m_session.currentCredential
                             ? m_session.currentCredential->externalKey().has_value()
                             : m_session.droppedKeyFile();
    request.unlock = true;
    const bool withPassword = request.askPassword;
    request.validate = [this,
                        withPassword](const CredentialsAnswer& answer) -> std::optional<UiText> {
        try {
            acceptCredentials(answer, withPassword);
            return std::nullopt;
        } catch (const CommonException& e) {
            return UiText::plain(e.message());
        }
    };

    std::optional<CredentialsAnswer> answer = m_presenter.askCredentials(request);
    if (!answer) {
        return false;
    }
    // The prompt is meant to have validated the answer; a presenter that did not must not be
    // able to unlock with wrong credentials.
    try {
        acceptCredentials(*answer, withPassword);
    } catch (const CommonException& e) {
        secureWipe(answer->password);
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                          UiText::plain(e.message()), {});
        return false;
    }
    secureWipe(answer->password);

    m_session.isLocked = false;
    updateLockedLook();
    m_presenter.showMainWindow();
    // The user has just proved to be present: the idle period starts again.
    restartIdleTimer();
    return true;
}

void LockManager::updateLockedLook() {
    m_statusItem.setLocked(m_session.isLocked);
}

void LockManager::acceptCredentials(const CredentialsAnswer& answer, bool withPassword) {
    std::optional<QString> password;
    if (withPassword) {
        password = answer.password;
    }
    std::optional<Key256> key;
    if (answer.keyFilePath && !answer.keyFilePath->isEmpty()) {
        key = keyOfFile(*answer.keyFilePath);
    }
    const Credentials given(password, std::move(key));
    if (password) {
        secureWipe(*password);
    }
    // Kept credentials (the prompt already took them back, or they could not be dropped) are
    // compared directly; dropped ones are recognised by the key they derive.
    const bool accepted = m_session.currentCredential
                              ? Credentials::isSame(given, *m_session.currentCredential)
                              : m_session.restoreCredentials(given);
    if (!accepted) {
        throw CommonException(PassFileCodec::wrongCredentialsMessage());
    }
}

} // namespace keskor
