#pragma once
// The browsers an entry's URL can be opened in by choice; the raw values are stored.

#include <optional>

namespace keskor {

enum class BrowserType : int {
    Safari = 0,
    Chrome = 1,
    Firefox = 2,
};

/// The browser of a raw value; none for any value but 0 to 2.
inline std::optional<BrowserType> browserTypeFromRaw(int raw) {
    if (raw < 0 || raw > int(BrowserType::Firefox)) {
        return std::nullopt;
    }
    return static_cast<BrowserType>(raw);
}

} // namespace keskor
