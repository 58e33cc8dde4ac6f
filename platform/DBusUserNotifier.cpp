#include "platform/DBusUserNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>

namespace keskor {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// Let the server choose how long a notice stays.
constexpr int kDefaultTimeout = -1;

} // namespace

DBusUserNotifier::DBusUserNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus) {}

DBusUserNotifier::DBusUserNotifier() : DBusUserNotifier(QDBusConnection::sessionBus()) {}

QString DBusUserNotifier::bodyText(const QString& subtitle, const QString& informativeText) {
    if (informativeText.isEmpty()) {
        return subtitle;
    }
    if (subtitle.isEmpty()) {
        return informativeText;
    }
    return subtitle + u'\n' + informativeText;
}

void DBusUserNotifier::deliver(const QString& title, const QString& subtitle,
                               const QString& informativeText) {
    const QString body = bodyText(subtitle, informativeText);
    if (!m_bus.isConnected()) {
        fail(title, body, QStringLiteral("there is no D-Bus session"));
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("keskor") << uint(0) << QStringLiteral("keskor") << title << body
         << QStringList() << QVariantMap() << kDefaultTimeout;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, body]() {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            fail(title, body, reply.error().message());
        }
    });
}

void DBusUserNotifier::fail(const QString& title, const QString& body, const QString& error) {
    if (!m_warned) {
        m_warned = true;
        qWarning().noquote() << "notifications: the desktop notification service is not available:"
                             << error;
    }
    if (m_fallback) {
        m_fallback(title, body);
    }
    Q_EMIT deliveryFailed(error);
}

} // namespace keskor
