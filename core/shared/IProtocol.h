#pragma once
// What differs between enterprise protocol versions: the packet signature, the command codes,
// the default port and how packets are protected. Also the result codes and encryption modes
// every version shares.

#include "core/shared/ProtocolCommand.h"
#include "core/shared/ProtocolVersion.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace keskor {

class IProtocol {
public:
    // Result codes of an answer packet.
    static constexpr std::int32_t ERR_SUCCESS = 0;
    static constexpr std::int32_t ERR_FAILED = 1;
    static constexpr std::int32_t ERR_UNKNOWN_COMMAND = 2;
    static constexpr std::int32_t ERR_NOT_LOGGED_IN = 3;
    static constexpr std::int32_t ERR_WRONG_CREDENTIALS = 4;
    static constexpr std::int32_t ERR_ACCESS_DENIED = 5;
    static constexpr std::int32_t ERR_NOT_FOUND = 6;
    static constexpr std::int32_t ERR_WRONG_PARAMETERS = 7;
    static constexpr std::int32_t CHANGE_PASSWORD_REQUIRED = 100;
    static constexpr std::int32_t TWO_FACTOR_CODE_NOT_ACTIVATED = 101;
    static constexpr std::int32_t TWO_FACTOR_CODE_REQUIRED = 102;
    static constexpr std::int32_t TWO_FACTOR_CODE_WRONG = 103;

    // Packet encryption modes (header byte 8).
    static constexpr std::int32_t DATA_PACKET_ENCRYPT = 1;
    static constexpr std::int32_t DATA_PACKET_ENCRYPT_CBC = 2;

    // Key-transport capabilities the client offers in the key-exchange start request.
    /// The curve is named by an integer (an OpenSSL NID) in data 1 of the answer.
    static constexpr std::uint32_t dataTransportIntKeys = 0x1;
    /// Public keys travel as PEM text in data 2.
    static constexpr std::uint32_t dataTransportDataKeys = 0x2;
    /// The session key is agreed by elliptic-curve Diffie-Hellman.
    static constexpr std::uint32_t dataTransportECDH = 0x4;

    static constexpr std::uint16_t DEFAULT_PORT = 25016;

    virtual ~IProtocol() = default;

    /// The 32-bit packet signature; on the wire as its four little-endian bytes.
    virtual std::uint32_t signature() const = 0;
    virtual ProtocolVersion version() const = 0;
    virtual std::uint16_t defaultPort() const = 0;
    virtual std::int32_t commandCode(ProtocolCommand command) const = 0;
    /// The request a wire code stands for; nothing for an unknown code.
    virtual std::optional<ProtocolCommand> commandFromCode(std::int32_t code) const = 0;
    /// The mode packets of this version are written in.
    virtual std::int32_t encryptionMode() const = 0;
    /// False when packets stay under the default key for the whole session.
    virtual bool usesKeyExchange() const = 0;
};

std::unique_ptr<IProtocol> createServerProtocol(ProtocolVersion version);

} // namespace keskor
