#include "platform/FakeClock.h"

#include <algorithm>

namespace keskor {

FakeClock::FakeClock(QDateTime start) : m_start(std::move(start)) {}

Clock::TimerId FakeClock::singleShot(qint64 ms, std::function<void()> fn) {
    const TimerId id = m_nextId++;
    m_pending.emplace(std::make_pair(m_elapsed + std::max<qint64>(ms, 0), id), std::move(fn));
    return id;
}

void FakeClock::cancel(TimerId id) {
    const auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                 [id](const auto& entry) { return entry.first.second == id; });
    if (it != m_pending.end()) {
        m_pending.erase(it);
    }
}

void FakeClock::advance(qint64 ms) {
    const qint64 target = m_elapsed + std::max<qint64>(ms, 0);
    while (!m_pending.empty() && m_pending.begin()->first.first <= target) {
        auto node = m_pending.extract(m_pending.begin());
        m_elapsed = node.key().first;
        node.mapped()();
    }
    m_elapsed = target;
}

} // namespace keskor
