#pragma once
// The real clock: local date and time, and precise QTimers on the calling (main) thread.

#include "platform/Clock.h"

#include <QObject>
#include <unordered_map>

class QTimer;

namespace keskor {

class SystemClock : public Clock {
public:
    SystemClock() = default;
    ~SystemClock() override;
    SystemClock(const SystemClock&) = delete;
    SystemClock& operator=(const SystemClock&) = delete;

    QDateTime now() const override { return QDateTime::currentDateTime(); }
    TimerId singleShot(qint64 ms, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    int pendingCount() const override { return int(m_timers.size()); }

private:
    std::unordered_map<TimerId, QTimer*> m_timers;
    TimerId m_nextId = 1;
};

} // namespace keskor
