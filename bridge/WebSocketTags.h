#pragma once
// The tags the WebSocket server attaches to its socket reads and writes. A connection keeps no
// other parsing state: the tag of the completed read says which step of a frame it was.

namespace keskor::WebSocketTag {

inline constexpr long handshakeRead = 1;
inline constexpr long handshakeWrite = 2;
inline constexpr long frameWrite = 3;
inline constexpr long header = 4;
/// Plus the opcode: the 2- or 8-byte extended payload length.
inline constexpr long extendedLength = 16;
/// Plus the opcode: the masking key and the payload.
inline constexpr long maskAndPayload = 32;
inline constexpr long controlWrite = -1;

} // namespace keskor::WebSocketTag
