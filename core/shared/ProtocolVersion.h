#pragma once
// The enterprise protocol versions a server may speak. Raw values travel in the settings
// ("enterprise_server_version") and decide the key exchange and the packet cipher.

#include <array>
#include <optional>

namespace keskor {

enum class ProtocolVersion : int {
    /// Key exchange, then AEAD packets.
    version0 = 0,
    /// Packets under the default key only: no key exchange, AEAD packets.
    version1 = 1,
    /// Key exchange, then AES-CBC + HMAC packets.
    version2 = 2,
    /// As version2, plus the server-information request after log-in.
    version3 = 3,
};

namespace ProtocolVersions {

/// Every version in raw-value order, as the log-in dialog's selector lists them.
inline constexpr std::array<ProtocolVersion, 4> allCases{
    ProtocolVersion::version0, ProtocolVersion::version1, ProtocolVersion::version2,
    ProtocolVersion::version3};

/// The version of a raw value, nothing for an unknown one.
inline constexpr std::optional<ProtocolVersion> fromRaw(int raw) {
    for (ProtocolVersion v : allCases) {
        if (static_cast<int>(v) == raw) {
            return v;
        }
    }
    return std::nullopt;
}

inline constexpr int raw(ProtocolVersion v) {
    return static_cast<int>(v);
}

} // namespace ProtocolVersions
} // namespace keskor
