#pragma once
// The protocol of every version spoken so far: one signature and one command table; the
// version decides the packet mode and whether a key exchange runs.

#include "core/shared/IProtocol.h"

namespace keskor {

class ServerProtocol final : public IProtocol {
public:
    /// "KRSK" when read as the four little-endian wire bytes.
    static constexpr std::uint32_t SIGNATURE = 0x4B53524B;

    explicit ServerProtocol(ProtocolVersion version) : m_version(version) {}

    std::uint32_t signature() const override { return SIGNATURE; }
    ProtocolVersion version() const override { return m_version; }
    std::uint16_t defaultPort() const override { return DEFAULT_PORT; }
    std::int32_t commandCode(ProtocolCommand command) const override;
    std::optional<ProtocolCommand> commandFromCode(std::int32_t code) const override;
    std::int32_t encryptionMode() const override;
    bool usesKeyExchange() const override;

private:
    ProtocolVersion m_version;
};

} // namespace keskor
