#include "core/NotificationsHelper.h"

#include "platform/UserNotifier.h"

namespace keskor {

void NotificationsHelper::showCopyNotice(UserNotifier& notifier,
                                         const std::function<QString(const QString&)>& text,
                                         int clearSeconds) {
    QString informative;
    if (clearSeconds != -1) {
        informative = text(QStringLiteral("alert_will_deleted")) + QLatin1Char(' ') +
                      QString::number(clearSeconds) + QLatin1Char(' ') +
                      text(QStringLiteral("alert_seconds"));
    }
    notifier.deliver(text(QStringLiteral("app_name")), text(QStringLiteral("alert_copied")),
                     informative);
}

} // namespace keskor
