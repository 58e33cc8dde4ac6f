// Feeds an arbitrary byte stream, as an enterprise server (or anyone in its place) may send
// it, to the client's answer reader. The input is a run of records: a control byte, a length
// byte and that many bytes, sent either as they are or as a whole packet sealed under the
// session key around them, in pieces of a size the control byte picks. The reader must never
// buffer beyond what the packet in hand announced, and a packet sealed whole right after an
// answer must come out exactly as it was sent.

#include "core/shared/CommonException.h"
#include "core/shared/IProtocol.h"
#include "core/shared/TCSDataPacket.h"
#include "enterprise/PacketHandler.h"
#include "fuzz/FixedKey.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace keskor;

namespace {

constexpr qsizetype kMaxPacket = 16 * 1024;

TCSDataPacket packetAround(const IProtocol& protocol, const QByteArray& bytes) {
    TCSDataPacket packet(protocol);
    const qsizetype third = bytes.size() / 3;
    packet.setCommand(bytes.isEmpty() ? 0 : static_cast<std::uint8_t>(bytes[0]));
    packet.setResult(bytes.size() > 1 ? static_cast<std::int8_t>(bytes[1]) : 0);
    packet.setText1(QString::fromUtf8(bytes.left(third)));
    packet.setData1(bytes.mid(third, third));
    packet.setData2(bytes.mid(2 * third));
    return packet;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto protocol = createServerProtocol(ProtocolVersion::version3);
    PacketHandler handler(*protocol, kMaxPacket);
    handler.key = fuzz::fixedKey();
    handler.arm();
    bool fresh = true; // nothing but whole packets since the last answer
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::uint8_t control = data[at];
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const QByteArray bytes(reinterpret_cast<const char*>(data + at + 2),
                               static_cast<qsizetype>(length));
        at += 2 + length;
        const bool sealed = control & 1;
        std::optional<TCSDataPacket> sent;
        QByteArray wire = bytes;
        if (sealed) {
            sent = packetAround(*protocol, bytes);
            wire = sent->toBytes(fuzz::fixedKey(), (control & 2)
                                                       ? TCSDataPacket::DATA_PACKET_ENCRYPT_CBC
                                                       : TCSDataPacket::DATA_PACKET_ENCRYPT);
        }
        const bool expectExact = sealed && fresh && handler.buffered() == 0;
        fresh = fresh && sealed;
        const qsizetype piece = (control >> 2) + 1;
        bool answered = false;
        for (qsizetype from = 0; from < wire.size(); from += piece) {
            handler.append(wire.mid(from, piece));
            const PacketHandler::Result result = handler.process();
            if (result.error || result.packet) {
                if (expectExact &&
                    (!result.packet || !(*result.packet == *sent) || from + piece < wire.size())) {
                    fuzz::broken();
                }
                answered = true;
                handler.arm();
                fresh = true;
                continue;
            }
            if (handler.expected() > kMaxPacket ||
                handler.buffered() >= std::max(handler.expected(), PacketHandler::headerCount)) {
                fuzz::broken();
            }
        }
        if (expectExact && !answered) {
            fuzz::broken();
        }
    }
    return 0;
}
