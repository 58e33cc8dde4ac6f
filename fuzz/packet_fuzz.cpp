// Feeds arbitrary bytes to the packet parser under a fixed key. Because a fuzzer cannot forge
// an authentication tag, half the inputs are first sealed as a body under that key, so the
// body decoder behind the tag check is exercised too.

#include "core/shared/CommonException.h"
#include "core/shared/EncryptionHelper.h"
#include "core/shared/IProtocol.h"
#include "core/shared/TCSDataPacket.h"
#include "fuzz/FixedKey.h"

#include <QByteArray>
#include <QtEndian>
#include <cstddef>
#include <cstdint>

using namespace keskor;

namespace {

QByteArray sealAsBody(const IProtocol& protocol, const Key256& key, const QByteArray& body) {
    QByteArray header(TCSDataPacket::HEADER_SIZE, '\0');
    const auto type = EncryptionHelper::Type::aes256CbcHmacSha256;
    qToLittleEndian<quint32>(protocol.signature(), header.data());
    qToLittleEndian<quint32>(
        static_cast<quint32>(TCSDataPacket::HEADER_SIZE +
                             EncryptionHelper::encryptedSize(type, body.size())),
        header.data() + 4);
    header[8] = static_cast<char>(TCSDataPacket::DATA_PACKET_ENCRYPT_CBC);
    header[9] = static_cast<char>(TCSDataPacket::BODY_FORMAT);
    return header + EncryptionHelper::encrypt(key.bytes(), body, type, header);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Key256& key = fuzz::fixedKey();
    static const auto protocol = createServerProtocol(ProtocolVersion::version3);
    if (size == 0) {
        return 0;
    }
    const QByteArray rest(reinterpret_cast<const char*>(data + 1),
                          static_cast<qsizetype>(size - 1));
    const QByteArray input = (data[0] & 1) ? sealAsBody(*protocol, key, rest) : rest;
    try {
        const auto packet = TCSDataPacket::parse(input, key, *protocol);
        if (packet) {
            // What parses must survive its own round trip.
            const auto again = TCSDataPacket::parse(
                packet->toBytes(key, TCSDataPacket::DATA_PACKET_ENCRYPT), key, *protocol);
            if (!again || !(*again == *packet)) {
                fuzz::broken();
            }
        }
    } catch (const CommonException&) {
    }
    return 0;
}
