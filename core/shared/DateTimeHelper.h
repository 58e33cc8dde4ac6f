#pragma once
// Dates inside a database are Delphi day numbers: days since 1899-12-30 00:00 (local time) as a
// double, the fraction being the time of day. Before the epoch the integer part counts days
// back while the fraction still runs forward within that day (-1.25 is 1899-12-29 06:00).

#include <QDateTime>
#include <optional>

namespace keskor {

class DateTimeHelper {
public:
    static const QDate& delphiEpoch();
    /// The current moment as a day number.
    static double Now();
    static double toDelphiTime(const QDateTime& dateTime);
    /// An invalid QDateTime for a value outside the dates Qt can hold (or NaN).
    static QDateTime parseDelphiDate(double value);

    struct WallClock {
        QDate date;
        QTime time;
    };
    /// The same date and time of day as they are stored, with no time zone involved: what a
    /// text form needs, and far cheaper than a local QDateTime.
    static std::optional<WallClock> parseDelphiWallClock(double value);
};

} // namespace keskor
