#pragma once
// The value operations of the browser bridge's WebSocket server: framing of server texts,
// control replies, the opening-handshake answer. Pure, apart from writeWebSocketFrame.

#include <QByteArray>
#include <QString>

namespace keskor {

class AsyncSocket;

/// An unmasked, final text frame (0x81) around `payload`, with the shortest length form.
QByteArray webSocketFrameData(const QByteArray& payload);
/// The frame of the UTF-8 bytes of `text`.
QByteArray webSocketFrameData(const QString& text);
/// The pong answering a ping with `payload`: its text frame with the first byte 0x8A.
QByteArray webSocketPongData(const QByteArray& payload);
/// The 4-byte close reply 0x88 0x02 + status: the status of the client's close frame when it
/// carried one, else 1000 (normal closure).
QByteArray webSocketCloseReplyData(const QByteArray& closePayload);
/// Standard base64 of the SHA-1 digest of the UTF-8 bytes of `text` (28 characters).
QString sha1base64(const QString& text);
/// The answer to an opening handshake, or CommonException "Invalid handshake from client".
/// Only the request line ("GET / HTTP/1.1") and the "Sec-WebSocket-Key" header are examined.
QString handshakeResponseForData(const QByteArray& request);
/// Writes the frame of `value` on `socket` with the data-frame tag.
void writeWebSocketFrame(AsyncSocket& socket, const QByteArray& value);
void writeWebSocketFrame(AsyncSocket& socket, const QString& value);

} // namespace keskor
