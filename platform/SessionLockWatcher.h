#pragma once
// Tells when the user leaves the computer: the machine is about to sleep (logind's
// PrepareForSleep(true) on the system bus, and the Lock signal of our logind session) or the
// screen locks (ActiveChanged(true) of org.freedesktop.ScreenSaver or org.gnome.ScreenSaver on
// the session bus, from whatever path the desktop emits it on). A bus that is not there is
// skipped, so the watcher is harmless without D-Bus. Create it on the main thread; the handler
// runs there.

#include <QDBusConnection>
#include <QObject>
#include <functional>

namespace keskor {

class SessionLockWatcher : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    /// Watches the given buses (tests pass a private session bus for both).
    SessionLockWatcher(const QDBusConnection& systemBus, const QDBusConnection& sessionBus,
                       Handler handler, QObject* parent = nullptr);
    /// Watches the machine's system bus and the user's session bus.
    explicit SessionLockWatcher(Handler handler, QObject* parent = nullptr);

    /// How many signals are being watched (diagnostics; 0 when no bus is there).
    int watchedSignals() const noexcept { return m_watched; }

private Q_SLOTS:
    void onPrepareForSleep(bool starting);
    void onScreenSaverActiveChanged(bool active);
    void onSessionLock();

private:
    void watchOwnSession();
    void watch(QDBusConnection& bus, const QString& service, const QString& path,
               const QString& interface, const QString& name, const char* slot);

    QDBusConnection m_systemBus;
    QDBusConnection m_sessionBus;
    Handler m_handler;
    int m_watched = 0;
};

} // namespace keskor
