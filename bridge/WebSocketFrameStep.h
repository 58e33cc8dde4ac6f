#pragma once
// What the WebSocket server does after one read of a client frame, as decided by
// WebSocketFrameParser.

#include <QByteArray>
#include <QString>

namespace keskor {

struct WebSocketFrameStep {
    enum class Kind {
        /// Read `readLength` bytes next, with `readTag`.
        Read,
        /// A whole frame: `opcode` (1 text, 8 close, 9 ping) and its unmasked payload; the next
        /// read is a frame header.
        Frame,
        /// The frame cannot be handled; `error` says so and the connection is to be closed.
        Refused,
        /// The tag is not one of the frame-reading steps.
        Ignored,
    };

    Kind kind = Kind::Ignored;
    qint64 readLength = 0;
    long readTag = 0;
    int opcode = 0;
    QByteArray payload;
    QString error;

    static WebSocketFrameStep read(qint64 length, long tag) {
        WebSocketFrameStep step;
        step.kind = Kind::Read;
        step.readLength = length;
        step.readTag = tag;
        return step;
    }
    static WebSocketFrameStep frame(int opcode, QByteArray payload) {
        WebSocketFrameStep step;
        step.kind = Kind::Frame;
        step.opcode = opcode;
        step.payload = std::move(payload);
        return step;
    }
    static WebSocketFrameStep refused(QString error) {
        WebSocketFrameStep step;
        step.kind = Kind::Refused;
        step.error = std::move(error);
        return step;
    }
};

} // namespace keskor
