#pragma once
// How strongly an alert is shown (icon and sound of the dialog).

namespace keskor {

enum class AlertStyle : int { informational = 0, warning = 1, critical = 2 };

inline const char* alertStyleName(AlertStyle style) {
    switch (style) {
    case AlertStyle::informational:
        return "informational";
    case AlertStyle::warning:
        return "warning";
    case AlertStyle::critical:
        return "critical";
    }
    return "unknown";
}

} // namespace keskor
