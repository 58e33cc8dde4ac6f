#pragma once
// The kinds of entry as the program presents them; the raw values are the stored item types.

#include <optional>

namespace keskor {

enum class EntryType : int {
    Folder = 0,
    Password = 1,
    CreditCard = 2,
    License = 3,
    Identity = 4,
    Information = 5,
    ECCard = 6,
    EncryptedFile = 7,
    Document = 8,
    RDP = 9,
    TeamViewer = 10,
    Putty = 11,
    Certificate = 12,
    Unknown = 13,
};

class EntryTypes {
public:
    /// The kind of a raw value; none for values outside 0 to 13.
    static std::optional<EntryType> fromRaw(int raw) {
        if (raw < 0 || raw > static_cast<int>(EntryType::Unknown)) {
            return std::nullopt;
        }
        return static_cast<EntryType>(raw);
    }
};

} // namespace keskor
