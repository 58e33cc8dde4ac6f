#pragma once
// The strength bar as data: how far it is filled and its colour (components 0..1). The user
// interface paints it; the value never exceeds the bar's maximum.

namespace keskor {

struct StrengthBar {
    double value = 0.0;
    double maxValue = 100.0;
    double red = 1.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;
};

} // namespace keskor
