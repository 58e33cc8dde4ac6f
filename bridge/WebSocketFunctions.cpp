#include "bridge/WebSocketFunctions.h"

#include "bridge/AsyncSocket.h"
#include "bridge/WebSocketTags.h"
#include "core/shared/CommonException.h"

#include <QCryptographicHash>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>

namespace keskor {

namespace {

const QString invalidHandshake = QStringLiteral("Invalid handshake from client");

} // namespace

QByteArray webSocketFrameData(const QByteArray& payload) {
    const auto n = static_cast<quint64>(payload.size());
    QByteArray frame;
    frame.reserve(payload.size() + 10);
    frame.append(char(0x81));
    if (n < 126) {
        frame.append(static_cast<char>(n));
    } else if (n < 65536) {
        char length[2];
        qToBigEndian<quint16>(static_cast<quint16>(n), length);
        frame.append(char(126)).append(length, sizeof length);
    } else {
        char length[8];
        qToBigEndian<quint64>(n, length);
        frame.append(char(127)).append(length, sizeof length);
    }
    frame.append(payload);
    return frame;
}

QByteArray webSocketFrameData(const QString& text) {
    return webSocketFrameData(text.toUtf8());
}

QByteArray webSocketPongData(const QByteArray& payload) {
    QByteArray frame = webSocketFrameData(payload);
    frame[0] = char(0x8A);
    return frame;
}

QByteArray webSocketCloseReplyData(const QByteArray& closePayload) {
    QByteArray reply("\x88\x02", 2);
    if (closePayload.size() >= 2) {
        reply.append(closePayload.left(2));
    } else {
        reply.append("\x03\xE8", 2);
    }
    return reply;
}

QString sha1base64(const QString& text) {
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toBase64());
}

QString handshakeResponseForData(const QByteArray& request) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(request);
    if (decoder.hasError()) {
        throw CommonException(invalidHandshake);
    }
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    if (lines.isEmpty() || lines.first() != QLatin1String("GET / HTTP/1.1")) {
        throw CommonException(invalidHandshake);
    }
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char(':'));
        // A value that itself holds a colon splits into more parts and is not considered.
        if (parts.size() != 2 || parts[0] != QLatin1String("Sec-WebSocket-Key")) {
            continue;
        }
        const QString accept =
            sha1base64(parts[1].trimmed() + QLatin1String("258EAFA5-E914-47DA-95CA-C5AB0DC85B11"));
        return QStringLiteral("HTTP/1.1 101 Web Socket Protocol Handshake\r\n"
                              "Upgrade: websocket\r\n"
                              "Connection: Upgrade\r\n"
                              "Sec-WebSocket-Accept: %1\r\n\r\n")
            .arg(accept);
    }
    throw CommonException(invalidHandshake);
}

void writeWebSocketFrame(AsyncSocket& socket, const QByteArray& value) {
    socket.writeData(webSocketFrameData(value), WebSocketTag::frameWrite);
}

void writeWebSocketFrame(AsyncSocket& socket, const QString& value) {
    socket.writeData(webSocketFrameData(value), WebSocketTag::frameWrite);
}

} // namespace keskor
