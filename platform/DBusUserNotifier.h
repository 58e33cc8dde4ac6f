#pragma once
// Notifications through the desktop's org.freedesktop.Notifications service. The title is the
// summary; subtitle and informative text form the body, one per line. Calls are asynchronous.
// When the service is missing the notice is handed to the fallback (the tray balloon, set by
// the UI) or dropped, and that is logged once.

#include "platform/UserNotifier.h"

#include <QDBusConnection>
#include <QObject>
#include <functional>

namespace keskor {

class DBusUserNotifier : public QObject, public UserNotifier {
    Q_OBJECT
public:
    using Fallback = std::function<void(const QString& title, const QString& body)>;

    explicit DBusUserNotifier(const QDBusConnection& bus, QObject* parent = nullptr);
    DBusUserNotifier();

    void deliver(const QString& title, const QString& subtitle,
                 const QString& informativeText) override;
    void setFallback(Fallback fallback) { m_fallback = std::move(fallback); }

    /// The body text shown for a subtitle and informative text.
    static QString bodyText(const QString& subtitle, const QString& informativeText);

Q_SIGNALS:
    /// A notice could not be shown by the service (for tests and diagnostics).
    void deliveryFailed(const QString& error);

private:
    void fail(const QString& title, const QString& body, const QString& error);

    QDBusConnection m_bus;
    Fallback m_fallback;
    bool m_warned = false;
};

} // namespace keskor
