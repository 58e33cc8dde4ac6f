#include "platform/SystemClock.h"

#include <QTimer>
#include <algorithm>
#include <limits>

namespace keskor {

SystemClock::~SystemClock() {
    for (auto& [id, timer] : m_timers) {
        delete timer;
    }
}

Clock::TimerId SystemClock::singleShot(qint64 ms, std::function<void()> fn) {
    const TimerId id = m_nextId++;
    auto* timer = new QTimer();
    timer->setSingleShot(true);
    // Coarse timers may fire 5 % early: too early for a lock or clearing time the user set.
    timer->setTimerType(Qt::PreciseTimer);
    // QTimer counts in int milliseconds; clamp rather than overflow into a negative interval.
    timer->setInterval(int(std::clamp<qint64>(ms, 0, std::numeric_limits<int>::max())));
    QObject::connect(timer, &QTimer::timeout, timer, [this, id, fn = std::move(fn)]() {
        const auto it = m_timers.find(id);
        if (it == m_timers.end()) {
            return;
        }
        it->second->deleteLater();
        m_timers.erase(it);
        fn();
    });
    m_timers.emplace(id, timer);
    timer->start();
    return id;
}

void SystemClock::cancel(TimerId id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return;
    }
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

} // namespace keskor
