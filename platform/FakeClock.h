#pragma once
// A clock for tests: time stands still until advance() moves it, firing due callbacks in the
// order of their due time (ties in the order they were scheduled), each seeing now() at its
// own due time.

#include "platform/Clock.h"

#include <map>
#include <utility>

namespace keskor {

class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC));

    QDateTime now() const override { return m_start.addMSecs(m_elapsed); }
    TimerId singleShot(qint64 ms, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    int pendingCount() const override { return int(m_pending.size()); }

    /// Moves time forward by `ms`, running every callback that falls due on the way, including
    /// ones scheduled by those callbacks.
    void advance(qint64 ms);
    qint64 elapsed() const noexcept { return m_elapsed; }

private:
    // Keyed by (due time, id): ids grow, so equal due times keep scheduling order.
    std::map<std::pair<qint64, TimerId>, std::function<void()>> m_pending;
    QDateTime m_start;
    qint64 m_elapsed = 0;
    TimerId m_nextId = 1;
};

} // namespace keskor
