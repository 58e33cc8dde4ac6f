#pragma once
// Everything shown under a password to rate it: the bar, the summary line and the crack-time
// line. Refreshed after every change of the password.

#include "tools/StrengthBar.h"

#include <QString>

namespace keskor {

struct StrengthReadout {
    StrengthBar bar;
    QString summary;
    QString crackTime;
    bool operator==(const StrengthReadout& other) const {
        return summary == other.summary && crackTime == other.crackTime &&
               bar.value == other.bar.value && bar.red == other.bar.red &&
               bar.green == other.bar.green;
    }
};

} // namespace keskor
