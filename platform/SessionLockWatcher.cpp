#include "platform/SessionLockWatcher.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <unistd.h>

namespace keskor {

namespace {

const QString kLogin1Service = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kLogin1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogin1Session = QStringLiteral("org.freedesktop.login1.Session");
// Desktops emit ActiveChanged on different object paths (KDE on two), and any program may
// implement the interface; an empty service and path match all of them. A false alarm only
// locks the database, which is the safe direction.
const QString kAnyService;
const QString kAnyPath;

} // namespace

SessionLockWatcher::SessionLockWatcher(const QDBusConnection& systemBus,
                                       const QDBusConnection& sessionBus, Handler handler,
                                       QObject* parent)
    : QObject(parent), m_systemBus(systemBus), m_sessionBus(sessionBus),
      m_handler(std::move(handler)) {
    watch(m_systemBus, kLogin1Service, kLogin1Path, kLogin1Manager,
          QStringLiteral("PrepareForSleep"), SLOT(onPrepareForSleep(bool)));
    watch(m_sessionBus, kAnyService, kAnyPath, QStringLiteral("org.freedesktop.ScreenSaver"),
          QStringLiteral("ActiveChanged"), SLOT(onScreenSaverActiveChanged(bool)));
    watch(m_sessionBus, kAnyService, kAnyPath, QStringLiteral("org.gnome.ScreenSaver"),
          QStringLiteral("ActiveChanged"), SLOT(onScreenSaverActiveChanged(bool)));
    watchOwnSession();
}

SessionLockWatcher::SessionLockWatcher(Handler handler, QObject* parent)
    : SessionLockWatcher(QDBusConnection::systemBus(), QDBusConnection::sessionBus(),
                         std::move(handler), parent) {}

void SessionLockWatcher::watch(QDBusConnection& bus, const QString& service, const QString& path,
                               const QString& interface, const QString& name, const char* slot) {
    if (!bus.isConnected()) {
        return;
    }
    // QDBusConnection offers only the string-based form for remote signals.
    if (bus.connect(service, path, interface, name, this, slot)) {
        ++m_watched;
    } else {
        qDebug().noquote() << "session lock: cannot watch" << interface << name << ":"
                           << bus.lastError().message();
    }
}

void SessionLockWatcher::watchOwnSession() {
    if (!m_systemBus.isConnected()) {
        return;
    }
    // The Lock signal is emitted on the path of one session; ask logind which one is ours.
    QDBusMessage call = QDBusMessage::createMethodCall(kLogin1Service, kLogin1Path, kLogin1Manager,
                                                       QStringLiteral("GetSessionByPID"));
    call << quint32(::getpid());
    auto* pending = new QDBusPendingCallWatcher(m_systemBus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *pending;
        if (reply.isError()) {
            // Not started from a logind session (a container, a test bus): sleep and the
            // screen saver are still watched.
            qDebug().noquote() << "session lock: no logind session:" << reply.error().message();
            return;
        }
        watch(m_systemBus, kLogin1Service, reply.value().path(), kLogin1Session,
              QStringLiteral("Lock"), SLOT(onSessionLock()));
    });
}

void SessionLockWatcher::onPrepareForSleep(bool starting) {
    // The same signal with false announces the wake-up.
    if (starting && m_handler) {
        m_handler();
    }
}

void SessionLockWatcher::onScreenSaverActiveChanged(bool active) {
    if (active && m_handler) {
        m_handler();
    }
}

void SessionLockWatcher::onSessionLock() {
    if (m_handler) {
        m_handler();
    }
}

} // namespace keskor
