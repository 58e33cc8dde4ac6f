// libFuzzer target for the WebSocket frame reader: any bytes a client may send after the
// handshake. The reader is driven as the server drives it: a header read, then each read it
// asks for, until the input runs out or a frame is refused. Every step must be one the server
// can carry out (a positive, bounded read with a frame tag), and every frame must be the
// unmasked payload of exactly the bytes read for it.

#include "bridge/WebSocketFrameParser.h"
#include "bridge/WebSocketFunctions.h"
#include "bridge/WebSocketTags.h"
#include "bridge/ZenWebSocketServer.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool isFrameTag(long tag) {
    if (tag == keskor::WebSocketTag::header) {
        return true;
    }
    for (const int opcode : {1, 8, 9}) {
        if (tag == keskor::WebSocketTag::extendedLength + opcode ||
            tag == keskor::WebSocketTag::maskAndPayload + opcode) {
            return true;
        }
    }
    return false;
}

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using keskor::WebSocketFrameStep;
    const keskor::WebSocketFrameParser parser(keskor::ZenWebSocketServer::Limits{}.maxFrameLength);
    const char* bytes = reinterpret_cast<const char*>(data);
    const auto total = static_cast<qint64>(size);
    qint64 offset = 0;
    WebSocketFrameStep step = keskor::WebSocketFrameParser::headerRead();
    for (;;) {
        check(step.kind == WebSocketFrameStep::Kind::Read);
        check(isFrameTag(step.readTag));
        check(step.readLength > 0 &&
              static_cast<quint64>(step.readLength) <=
                  parser.maxPayloadLength() + keskor::WebSocketFrameParser::MaskLength);
        if (total - offset < step.readLength) {
            return 0; // the socket would wait for more
        }
        const QByteArray read(bytes + offset, static_cast<qsizetype>(step.readLength));
        offset += step.readLength;
        const long tag = step.readTag;
        step = parser.step(tag, read);
        switch (step.kind) {
        case WebSocketFrameStep::Kind::Refused:
            check(!step.error.isEmpty());
            return 0; // the server closes the connection
        case WebSocketFrameStep::Kind::Ignored:
            std::abort(); // every tag above is one of the parser's own
        case WebSocketFrameStep::Kind::Read:
            continue;
        case WebSocketFrameStep::Kind::Frame:
            break;
        }
        check(tag == keskor::WebSocketTag::maskAndPayload + step.opcode);
        check(step.payload.size() == read.size() - keskor::WebSocketFrameParser::MaskLength);
        for (qsizetype i = 0; i < step.payload.size(); ++i) {
            check((step.payload[i] ^ read[i % 4]) == read[i + 4]);
        }
        // What the server answers with.
        if (step.opcode == 8) {
            check(keskor::webSocketCloseReplyData(step.payload).size() == 4);
        } else if (step.opcode == 9) {
            const QByteArray pong = keskor::webSocketPongData(step.payload);
            check(static_cast<unsigned char>(pong[0]) == 0x8A && pong.endsWith(step.payload));
        } else {
            check(step.opcode == 1);
        }
        step = keskor::WebSocketFrameParser::headerRead();
    }
}
