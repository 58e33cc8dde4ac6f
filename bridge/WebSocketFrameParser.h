#pragma once
// Reads client frames one socket read at a time, without sockets or state of its own: the tag
// of each read says which part of a frame it holds (header, extended length, mask + payload),
// and step() says what to read next. The server drives it from its read callbacks; the fuzz
// target drives it over plain bytes.
//
// Accepted opcodes: 1 (text), 8 (close), 9 (ping). FIN, RSV and MASK are not examined: a frame
// without FIN counts as a whole message, and the first four bytes after the length are always
// taken as the masking key. Refused: every other opcode (continuation and binary included) and
// payloads longer than maxPayloadLength().

#include "bridge/WebSocketFrameStep.h"

#include <QByteArray>
#include <cstdint>

namespace keskor {

class WebSocketFrameParser {
public:
    static constexpr quint64 DefaultMaxPayloadLength = 16 * 1024 * 1024;
    static constexpr qint64 HeaderLength = 2;
    static constexpr qint64 MaskLength = 4;

    /// Lengths are capped so that length + key always fits a signed 64-bit read size.
    explicit WebSocketFrameParser(quint64 maxPayloadLength = DefaultMaxPayloadLength)
        : m_maxPayloadLength(qMin<quint64>(maxPayloadLength, quint64(INT64_MAX) - MaskLength)) {}

    quint64 maxPayloadLength() const { return m_maxPayloadLength; }

    /// The first read of every frame: its 2-byte header.
    static WebSocketFrameStep headerRead();
    /// The next step after the read tagged `tag` delivered `data`.
    WebSocketFrameStep step(long tag, const QByteArray& data) const;

    /// The payload after the 4-byte key of `keyAndPayload`, each byte XOR key[i mod 4].
    static QByteArray unmask(const QByteArray& keyAndPayload);

private:
    WebSocketFrameStep afterHeader(const QByteArray& data) const;
    WebSocketFrameStep afterExtendedLength(int opcode, const QByteArray& data) const;
    WebSocketFrameStep payloadRead(int opcode, quint64 length) const;

    quint64 m_maxPayloadLength;
};

} // namespace keskor
