#pragma once
// The desktop notice shown after a secret was copied.

#include <QString>
#include <functional>

namespace keskor {

class UserNotifier;

class NotificationsHelper {
public:
    /// Title "app_name", subtitle "alert_copied" and, when the clipboard is cleared
    /// (`clearSeconds` other than -1), "alert_will_deleted <seconds> alert_seconds".
    static void showCopyNotice(UserNotifier& notifier,
                               const std::function<QString(const QString&)>& text,
                               int clearSeconds);
};

} // namespace keskor
