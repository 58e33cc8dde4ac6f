#pragma once
// Time and one-shot timers, behind an interface so that the idle lock and clipboard clearing
// can be driven by a fake clock in tests. Used on the main thread.

#include <QDateTime>
#include <functional>

namespace keskor {

class Clock {
public:
    /// Identifies a scheduled callback; 0 is never used.
    using TimerId = quint64;

    virtual ~Clock() = default;

    virtual QDateTime now() const = 0;
    /// Calls `fn` once, `ms` milliseconds from now (0 or less: at the next turn of the loop).
    virtual TimerId singleShot(qint64 ms, std::function<void()> fn) = 0;
    /// Drops a pending callback; unknown or already fired ids are ignored.
    virtual void cancel(TimerId id) = 0;
    /// Callbacks scheduled and not yet fired nor cancelled.
    virtual int pendingCount() const = 0;
};

} // namespace keskor
