#include "bridge/WebSocketFrameParser.h"

#include "bridge/WebSocketTags.h"

#include <QtEndian>

namespace keskor {

namespace {

const QString refusedFrame = QStringLiteral("Cannot handle this websocket frame format!");

bool isAccepted(int opcode) {
    return opcode == 1 || opcode == 8 || opcode == 9;
}

} // namespace

WebSocketFrameStep WebSocketFrameParser::headerRead() {
    return WebSocketFrameStep::read(HeaderLength, WebSocketTag::header);
}

WebSocketFrameStep WebSocketFrameParser::step(long tag, const QByteArray& data) const {
    if (tag == WebSocketTag::header) {
        return afterHeader(data);
    }
    for (const int opcode : {1, 8, 9}) {
        if (tag == WebSocketTag::extendedLength + opcode) {
            return afterExtendedLength(opcode, data);
        }
        if (tag == WebSocketTag::maskAndPayload + opcode) {
            if (data.size() < MaskLength) {
                return WebSocketFrameStep::refused(refusedFrame);
            }
            return WebSocketFrameStep::frame(opcode, unmask(data));
        }
    }
    return {};
}

WebSocketFrameStep WebSocketFrameParser::afterHeader(const QByteArray& data) const {
    if (data.size() != HeaderLength) {
        return WebSocketFrameStep::refused(refusedFrame);
    }
    const int opcode = static_cast<unsigned char>(data[0]) & 0x0F;
    if (!isAccepted(opcode)) {
        return WebSocketFrameStep::refused(refusedFrame);
    }
    const int length7 = static_cast<unsigned char>(data[1]) & 0x7F;
    if (length7 == 126) {
        return WebSocketFrameStep::read(2, WebSocketTag::extendedLength + opcode);
    }
    if (length7 == 127) {
        return WebSocketFrameStep::read(8, WebSocketTag::extendedLength + opcode);
    }
    return payloadRead(opcode, static_cast<quint64>(length7));
}

WebSocketFrameStep WebSocketFrameParser::afterExtendedLength(int opcode,
                                                             const QByteArray& data) const {
    if (data.size() == 2) {
        return payloadRead(opcode, qFromBigEndian<quint16>(data.constData()));
    }
    if (data.size() == 8) {
        return payloadRead(opcode, qFromBigEndian<quint64>(data.constData()));
    }
    return WebSocketFrameStep::refused(refusedFrame);
}

WebSocketFrameStep WebSocketFrameParser::payloadRead(int opcode, quint64 length) const {
    // Checked before the key is added, so lengths near 2^64 cannot wrap around.
    if (length > m_maxPayloadLength) {
        return WebSocketFrameStep::refused(refusedFrame);
    }
    return WebSocketFrameStep::read(static_cast<qint64>(length) + MaskLength,
                                    WebSocketTag::maskAndPayload + opcode);
}

QByteArray WebSocketFrameParser::unmask(const QByteArray& keyAndPayload) {
    if (keyAndPayload.size() < MaskLength) {
        return {};
    }
    const char* key = keyAndPayload.constData();
    QByteArray payload = keyAndPayload.mid(MaskLength);
    char* out = payload.data();
    for (qsizetype i = 0; i < payload.size(); ++i) {
        out[i] = static_cast<char>(out[i] ^ key[i % MaskLength]);
    }
    return payload;
}

} // namespace keskor
