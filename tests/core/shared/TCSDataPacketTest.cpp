#include "core/shared/TCSDataPacket.h"

#include "core/shared/CommonException.h"
#include "core/shared/EncryptionHelper.h"
#include "core/shared/IProtocol.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QtEndian>
#include <gtest/gtest.h>
#include <set>

using namespace keskor;

namespace {

QByteArray randomData(qsizetype size) {
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        out[i] = static_cast<char>(QRandomGenerator::global()->bounded(256));
    }
    return out;
}

// Outcome of a parse attempt that must not yield a packet.
bool rejected(const QByteArray& bytes, const Key256& key, const IProtocol& protocol) {
    try {
        return !TCSDataPacket::parse(bytes, key, protocol).has_value();
    } catch (const CommonException&) {
        return true;
    }
}

void setLength(QByteArray& bytes, std::uint32_t length) {
    qToLittleEndian<quint32>(length, bytes.data() + 4);
}

class TCSDataPacketTest : public ::testing::TestWithParam<std::int32_t> {
protected:
    std::int32_t mode() const { return GetParam(); }

    TCSDataPacket fullPacket() const {
        TCSDataPacket p(*protocol);
        p.setCommand(protocol->commandCode(ProtocolCommand::grantAccess));
        p.setResult(TCSDataPacket::TWO_FACTOR_CODE_REQUIRED);
        p.setText1(QStringLiteral("Grüße aus Köln – пароль 🔑"));
        p.setText2(QStringLiteral("alice@example.org"));
        p.setText3(QString());
        p.setData1(QByteArray());
        p.setData2(randomData(100 * 1024));
        p.setData3(QByteArray("\0\x01\xff", 3));
        return p;
    }

    TCSDataPacket smallPacket() const {
        TCSDataPacket p(*protocol);
        p.setCommand(7);
        p.setResult(-3);
        p.setText1(QStringLiteral("é"));
        p.setData2(QByteArray("ab"));
        return p;
    }

    std::unique_ptr<IProtocol> protocol = createServerProtocol(ProtocolVersion::version2);
    Key256 key = Key256::random();
};

TEST_P(TCSDataPacketTest, FullEmptyAndLargePacketsRoundTripThroughBytesAndADevice) {
    TCSDataPacket large(*protocol);
    large.setData1(QByteArray(3 * 1024 * 1024, 'x'));
    large.setData3(randomData(1024 * 1024 + 7));
    const std::pair<const char*, TCSDataPacket> packets[] = {
        {"full", fullPacket()}, {"empty", TCSDataPacket(*protocol)}, {"large", large}};
    for (const auto& [name, sent] : packets) {
        SCOPED_TRACE(name);
        const auto received = TCSDataPacket::parse(sent.toBytes(key, mode()), key, *protocol);
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(*received, sent);
        EXPECT_EQ(received->text1(), sent.text1());
        EXPECT_EQ(received->data2().size(), sent.data2().size());

        QBuffer buffer;
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        sent.write(buffer, key, mode());
        EXPECT_EQ(TCSDataPacket::parse(buffer.data(), key, *protocol), sent);
    }
    QBuffer closed;
    EXPECT_THROW(fullPacket().write(closed, key, mode()), CommonException);
}

TEST_P(TCSDataPacketTest, HeaderCarriesSignatureLengthAndMode) {
    const QByteArray wire = smallPacket().toBytes(key, mode());
    EXPECT_EQ(qFromLittleEndian<quint32>(wire.constData()), protocol->signature());
    EXPECT_EQ(qFromLittleEndian<quint32>(wire.constData() + 4), static_cast<quint32>(wire.size()));
    EXPECT_EQ(static_cast<unsigned char>(wire[8]), mode());
    EXPECT_EQ(static_cast<unsigned char>(wire[9]), TCSDataPacket::BODY_FORMAT);
    EXPECT_EQ(wire[10], 0);
    EXPECT_EQ(wire[11], 0);
}

TEST_P(TCSDataPacketTest, EveryFlippedByteIsRejected) {
    const QByteArray wire = smallPacket().toBytes(key, mode());
    for (qsizetype i = 0; i < wire.size(); ++i) {
        for (const char mask : {char(0x01), char(0x80)}) {
            QByteArray damaged = wire;
            damaged[i] = static_cast<char>(damaged[i] ^ mask);
            EXPECT_TRUE(rejected(damaged, key, *protocol)) << "byte " << i;
        }
    }
}

TEST_P(TCSDataPacketTest, EveryTruncationYieldsNothing) {
    const QByteArray wire = smallPacket().toBytes(key, mode());
    for (qsizetype n = 0; n < wire.size(); ++n) {
        EXPECT_FALSE(TCSDataPacket::parse(wire.left(n), key, *protocol).has_value()) << n;
    }
}

TEST_P(TCSDataPacketTest, BytesBeyondTheLengthAreIgnored) {
    const TCSDataPacket sent = smallPacket();
    QByteArray wire = sent.toBytes(key, mode());
    wire += smallPacket().toBytes(key, mode());
    wire += "trailing garbage";
    const auto received = TCSDataPacket::parse(wire, key, *protocol);
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(*received, sent);
}

TEST_P(TCSDataPacketTest, LyingLengthFieldsAreRejected) {
    const QByteArray wire = smallPacket().toBytes(key, mode());
    const auto size = static_cast<std::uint32_t>(wire.size());

    for (const std::uint32_t length : {0u, 1u, 11u, 0x80000000u, 0xFFFFFFFFu}) {
        QByteArray lying = wire;
        setLength(lying, length);
        EXPECT_THROW(TCSDataPacket::parse(lying, key, *protocol), CommonException) << length;
    }
    // Shorter than the real packet: the header no longer authenticates.
    for (std::uint32_t length = 12; length < size; ++length) {
        QByteArray lying = wire;
        setLength(lying, length);
        EXPECT_THROW(TCSDataPacket::parse(lying, key, *protocol), CommonException) << length;
    }
    // Longer than the bytes at hand: not read past the buffer, just not complete yet.
    QByteArray longer = wire;
    setLength(longer, size + 1);
    EXPECT_FALSE(TCSDataPacket::parse(longer, key, *protocol).has_value());
    // Above the limit, refused before waiting for the bytes.
    QByteArray huge = wire.left(TCSDataPacket::HEADER_SIZE);
    setLength(huge, static_cast<std::uint32_t>(TCSDataPacket::MAX_PACKET_SIZE) + 1);
    EXPECT_THROW(TCSDataPacket::parse(huge, key, *protocol), CommonException);
}

TEST_P(TCSDataPacketTest, WrongKeyThrows) {
    const QByteArray wire = fullPacket().toBytes(key, mode());
    EXPECT_THROW(TCSDataPacket::parse(wire, Key256::random(), *protocol), CommonException);
}

INSTANTIATE_TEST_SUITE_P(BothModes, TCSDataPacketTest,
                         ::testing::Values(TCSDataPacket::DATA_PACKET_ENCRYPT,
                                           TCSDataPacket::DATA_PACKET_ENCRYPT_CBC),
                         [](const auto& info) {
                             return info.param == TCSDataPacket::DATA_PACKET_ENCRYPT
                                        ? std::string("Aead")
                                        : std::string("Cbc");
                         });

// Bodies that authenticate under the right key but were built by a faulty or hostile peer.
class ForgedBodyTest : public ::testing::Test {
protected:
    QByteArray seal(const QByteArray& body, std::uint32_t signature = 0) const {
        QByteArray header(TCSDataPacket::HEADER_SIZE, '\0');
        qToLittleEndian<quint32>(signature ? signature : protocol->signature(), header.data());
        const qsizetype total = TCSDataPacket::HEADER_SIZE +
                                EncryptionHelper::encryptedSize(
                                    EncryptionHelper::Type::aes256CbcHmacSha256, body.size());
        qToLittleEndian<quint32>(static_cast<quint32>(total), header.data() + 4);
        header[8] = static_cast<char>(TCSDataPacket::DATA_PACKET_ENCRYPT_CBC);
        header[9] = static_cast<char>(TCSDataPacket::BODY_FORMAT);
        return header + EncryptionHelper::encrypt(
                            key.bytes(), body, EncryptionHelper::Type::aes256CbcHmacSha256, header);
    }

    static QByteArray u32(std::uint32_t v) {
        QByteArray b(4, '\0');
        qToLittleEndian<quint32>(v, b.data());
        return b;
    }

    // command, result, then six empty fields.
    static QByteArray validBody() {
        QByteArray b = u32(5) + u32(0);
        for (int i = 0; i < 6; ++i) {
            b += u32(0);
        }
        return b;
    }

    std::unique_ptr<IProtocol> protocol = createServerProtocol(ProtocolVersion::version3);
    Key256 key = Key256::random();
};

TEST_F(ForgedBodyTest, MalformedBodiesThrow) {
    const auto wellFormed = TCSDataPacket::parse(seal(validBody()), key, *protocol);
    ASSERT_TRUE(wellFormed.has_value()) << "the sealing itself must be right";
    EXPECT_EQ(wellFormed->command(), 5);
    // Another protocol's packet, authentic as it is.
    EXPECT_THROW(TCSDataPacket::parse(seal(validBody(), 0x01020304), key, *protocol),
                 CommonException);
    const QByteArray fieldTooLong = u32(5) + u32(0) + u32(1000) + QByteArray("abc");
    const QByteArray hugeField = u32(5) + u32(0) + u32(0xFFFFFFF0u);
    const QByteArray invalidUtf8 = u32(5) + u32(0) + u32(2) + QByteArray("\xC3\x28", 2) + u32(0) +
                                   u32(0) + u32(0) + u32(0) + u32(0);
    const QByteArray missingFields = u32(5) + u32(0) + u32(0);
    for (const QByteArray& body : {QByteArray(), QByteArray("\x01\x02"), fieldTooLong, hugeField,
                                   invalidUtf8, missingFields, validBody() + QByteArray("x")}) {
        EXPECT_THROW(TCSDataPacket::parse(seal(body), key, *protocol), CommonException)
            << body.toHex().constData();
    }
}

TEST(TCSDataPacketLimitsTest, UnknownModeAndOversizedPacketAreRefused) {
    const auto protocol = createServerProtocol(ProtocolVersion::version2);
    const Key256 key = Key256::random();
    TCSDataPacket p(*protocol);
    EXPECT_THROW(p.toBytes(key, 0), CommonException);
    EXPECT_THROW(p.toBytes(key, 3), CommonException);
    p.setData2(QByteArray(TCSDataPacket::MAX_PACKET_SIZE, '\0'));
    EXPECT_THROW(p.toBytes(key, TCSDataPacket::DATA_PACKET_ENCRYPT), CommonException);
}

class ServerProtocolTest : public ::testing::TestWithParam<ProtocolVersion> {};

TEST_P(ServerProtocolTest, VersionDecidesModeAndKeyExchange) {
    const auto protocol = createServerProtocol(GetParam());
    const int raw = static_cast<int>(GetParam());
    EXPECT_EQ(protocol->version(), GetParam());
    EXPECT_EQ(protocol->defaultPort(), 25016);
    EXPECT_EQ(protocol->encryptionMode(), raw < 2 ? TCSDataPacket::DATA_PACKET_ENCRYPT
                                                  : TCSDataPacket::DATA_PACKET_ENCRYPT_CBC);
    EXPECT_EQ(protocol->usesKeyExchange(), raw != 1);
    // Every version frames with the same signature, so one handler finds them all.
    EXPECT_EQ(protocol->signature(), createServerProtocol(ProtocolVersion::version1)->signature());
}

TEST_P(ServerProtocolTest, CommandCodesAreDistinctAndReversible) {
    const auto protocol = createServerProtocol(GetParam());
    std::set<std::int32_t> seen;
    for (int raw = 0; raw < 200; ++raw) {
        const auto command = protocol->commandFromCode(raw);
        if (command) {
            EXPECT_EQ(protocol->commandCode(*command), raw);
            EXPECT_TRUE(seen.insert(raw).second);
        }
    }
    for (const ProtocolCommand c :
         {ProtocolCommand::keyExchangeStart, ProtocolCommand::keyExchangeFinish,
          ProtocolCommand::login, ProtocolCommand::azureLogin, ProtocolCommand::serverInfo,
          ProtocolCommand::listDatabases, ProtocolCommand::downloadDatabase,
          ProtocolCommand::grantAccess, ProtocolCommand::revokeAccess,
          ProtocolCommand::sealedAccessRequest, ProtocolCommand::updateCategories}) {
        EXPECT_EQ(protocol->commandFromCode(protocol->commandCode(c)), c);
    }
    EXPECT_EQ(seen.size(), 37u);
    EXPECT_FALSE(protocol->commandFromCode(0).has_value());
    EXPECT_FALSE(protocol->commandFromCode(-1).has_value());
}

INSTANTIATE_TEST_SUITE_P(AllVersions, ServerProtocolTest,
                         ::testing::ValuesIn(ProtocolVersions::allCases));

TEST(ProtocolVersionTest, RawValuesMapBack) {
    for (const ProtocolVersion v : ProtocolVersions::allCases) {
        EXPECT_EQ(ProtocolVersions::fromRaw(ProtocolVersions::raw(v)), v);
    }
    EXPECT_FALSE(ProtocolVersions::fromRaw(4).has_value());
    EXPECT_FALSE(ProtocolVersions::fromRaw(-1).has_value());
}

} // namespace
