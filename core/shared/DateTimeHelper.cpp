#include "core/shared/DateTimeHelper.h"

#include <cmath>

namespace keskor {

namespace {
constexpr double kMsPerDay = 86400000.0;
// Beyond this many days either side of the epoch Qt cannot represent the date reliably.
constexpr double kMaxDays = 1.0e8;
} // namespace

const QDate& DateTimeHelper::delphiEpoch() {
    static const QDate epoch(1899, 12, 30);
    return epoch;
}

double DateTimeHelper::Now() {
    return toDelphiTime(QDateTime::currentDateTime());
}

double DateTimeHelper::toDelphiTime(const QDateTime& dateTime) {
    if (!dateTime.isValid()) {
        return 0.0;
    }
    const QDateTime local = dateTime.toLocalTime();
    const qint64 days = delphiEpoch().daysTo(local.date());
    const double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

QDateTime DateTimeHelper::parseDelphiDate(double value) {
    const std::optional<WallClock> clock = parseDelphiWallClock(value);
    return clock ? QDateTime(clock->date, clock->time) : QDateTime();
}

std::optional<DateTimeHelper::WallClock> DateTimeHelper::parseDelphiWallClock(double value) {
    if (!std::isfinite(value) || std::fabs(value) > kMaxDays) {
        return std::nullopt;
    }
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    qint64 ms = std::llround(fraction * kMsPerDay);
    qint64 days = static_cast<qint64>(whole);
    if (ms >= static_cast<qint64>(kMsPerDay)) { // rounding reached midnight of the next day
        ms = 0;
        days += (value >= 0 ? 1 : -1);
    }
    return WallClock{delphiEpoch().addDays(days),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms))};
}

} // namespace keskor
