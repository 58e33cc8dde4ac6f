#pragma once
// Records delivered notifications for tests.

#include "platform/UserNotifier.h"

#include <QList>

namespace keskor {

class RecordingUserNotifier : public UserNotifier {
public:
    struct Notice {
        QString title;
        QString subtitle;
        QString informativeText;
        bool operator==(const Notice&) const = default;
    };

    void deliver(const QString& title, const QString& subtitle,
                 const QString& informativeText) override {
        m_notices.append(Notice{title, subtitle, informativeText});
    }

    const QList<Notice>& notices() const noexcept { return m_notices; }
    void clear() { m_notices.clear(); }

private:
    QList<Notice> m_notices;
};

} // namespace keskor
