#include "enterprise/PacketHandler.h"

#include "core/shared/KeyHelper.h"
#include "core/shared/ServerProtocol.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace keskor {
namespace {

class PacketHandlerTest : public ::testing::Test {
protected:
    PacketHandlerTest() : protocol(ProtocolVersion::version2), handler(protocol) {
        handler.key = KeyHelper::getDefaultLMDKey();
        handler.arm();
    }
    QByteArray packetBytes() {
        TCSDataPacket p(protocol);
        p.setCommand(30);
        p.setData2("db=1");
        return p.toBytes(*handler.key, TCSDataPacket::DATA_PACKET_ENCRYPT_CBC);
    }
    QByteArray headerWithLength(quint32 length) {
        QByteArray h = packetBytes().left(12);
        qToLittleEndian<quint32>(length, h.data() + 4);
        return h;
    }
    ServerProtocol protocol;
    PacketHandler handler;
};

TEST_F(PacketHandlerTest, OneBytePiecesYieldThePacketOnlyAfterTheLast) {
    const QByteArray bytes = QByteArray("noise\x4B"
                                        "xyz") +
                             packetBytes();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        handler.append(bytes.constData() + i, 1);
        PacketHandler::Result r = handler.process();
        ASSERT_FALSE(r.error);
        ASSERT_EQ(r.packet.has_value(), i == bytes.size() - 1) << i;
        if (r.packet) {
            EXPECT_EQ(r.packet->data2(), QByteArray("db=1"));
        }
    }
    EXPECT_EQ(handler.state(), PacketHandler::State::off);
}

TEST_F(PacketHandlerTest, BadLengthsAndMissingKeyGiveTheirErrors) {
    struct Case {
        QByteArray bytes;
        bool dropKey;
        const char* error;
    };
    const Case cases[] = {
        {headerWithLength(11), false, "enterprise_error_wrong_data_format"},
        {headerWithLength(0x80000000u), false, "enterprise_error_wrong_data_format"},
        {headerWithLength(0x7FFFFFFFu), false, "enterprise_error_wrong_data_format"},
        {headerWithLength(12), false, "enterprise_error_wrong_parsing"},
        {packetBytes(), true, "enterprise_error_empty_key"},
    };
    for (const Case& c : cases) {
        handler.arm();
        if (c.dropKey) {
            handler.key.reset();
        }
        handler.append(c.bytes);
        const PacketHandler::Result r = handler.process();
        EXPECT_EQ(r.error.value_or(QString()), QString::fromLatin1(c.error));
        EXPECT_EQ(handler.buffered(), 0);
        handler.key = KeyHelper::getDefaultLMDKey();
    }
}

} // namespace
} // namespace keskor
