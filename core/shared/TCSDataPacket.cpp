#include "core/shared/TCSDataPacket.h"

#include "core/shared/CommonException.h"
#include "core/shared/EncryptionHelper.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QtEndian>

namespace keskor {

namespace {

constexpr qsizetype kModeOffset = 8;
constexpr qsizetype kFormatOffset = 9;
constexpr qsizetype kReservedOffset = 10;

[[noreturn]] void fail(const char* message) {
    throw CommonException(QString::fromLatin1(message));
}

std::optional<EncryptionHelper::Type> cipherForMode(std::int32_t mode) {
    switch (mode) {
    case TCSDataPacket::DATA_PACKET_ENCRYPT:
        return EncryptionHelper::Type::xChaCha20Poly1305;
    case TCSDataPacket::DATA_PACKET_ENCRYPT_CBC:
        return EncryptionHelper::Type::aes256CbcHmacSha256;
    default:
        return std::nullopt;
    }
}

std::uint32_t readU32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}

void appendU32(QByteArray& out, std::uint32_t value) {
    char buf[4];
    qToLittleEndian<quint32>(value, buf);
    out.append(buf, 4);
}

void appendBlock(QByteArray& out, const QByteArray& block) {
    appendU32(out, static_cast<std::uint32_t>(block.size()));
    out.append(block);
}

// Bounds-checked walk over a decrypted body; every length is checked against what is left.
class BodyReader {
public:
    explicit BodyReader(const QByteArray& body) : m_body(body) {}

    std::uint32_t u32() {
        if (m_body.size() - m_pos < 4) {
            fail("Packet body is truncated");
        }
        const std::uint32_t v = readU32(m_body.constData() + m_pos);
        m_pos += 4;
        return v;
    }
    QByteArray block() {
        const qsizetype size = u32();
        if (size > m_body.size() - m_pos) {
            fail("Packet body field is longer than the body");
        }
        QByteArray b = m_body.mid(m_pos, size);
        m_pos += size;
        return b;
    }
    QString text() {
        QByteArray utf8 = block();
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString t = decoder.decode(utf8);
        secureWipe(utf8);
        if (decoder.hasError()) {
            secureWipe(t);
            fail("Packet text is not UTF-8");
        }
        return t;
    }
    bool atEnd() const { return m_pos == m_body.size(); }

private:
    const QByteArray& m_body;
    qsizetype m_pos = 0;
};

QByteArray textBlock(const QString& text) {
    return text.toUtf8();
}

} // namespace

TCSDataPacket::TCSDataPacket(const IProtocol& protocol) : m_signature(protocol.signature()) {}

TCSDataPacket::~TCSDataPacket() {
    secureWipe(m_text1);
    secureWipe(m_text2);
    secureWipe(m_text3);
    secureWipe(m_data1);
    secureWipe(m_data2);
    secureWipe(m_data3);
}

QByteArray TCSDataPacket::encodeBody() const {
    QByteArray body;
    QByteArray t1 = textBlock(m_text1);
    QByteArray t2 = textBlock(m_text2);
    QByteArray t3 = textBlock(m_text3);
    const qsizetype size = 8 + 6 * 4 + t1.size() + t2.size() + t3.size() + m_data1.size() +
                           m_data2.size() + m_data3.size();
    if (size > MAX_PACKET_SIZE) {
        fail("Packet is too large");
    }
    body.reserve(size);
    appendU32(body, static_cast<std::uint32_t>(m_command));
    appendU32(body, static_cast<std::uint32_t>(m_result));
    appendBlock(body, t1);
    appendBlock(body, t2);
    appendBlock(body, t3);
    appendBlock(body, m_data1);
    appendBlock(body, m_data2);
    appendBlock(body, m_data3);
    secureWipe(t1);
    secureWipe(t2);
    secureWipe(t3);
    return body;
}

void TCSDataPacket::decodeBody(const QByteArray& body) {
    BodyReader reader(body);
    m_command = static_cast<std::int32_t>(reader.u32());
    m_result = static_cast<std::int32_t>(reader.u32());
    m_text1 = reader.text();
    m_text2 = reader.text();
    m_text3 = reader.text();
    m_data1 = reader.block();
    m_data2 = reader.block();
    m_data3 = reader.block();
    if (!reader.atEnd()) {
        fail("Packet body has unexpected trailing bytes");
    }
}

QByteArray TCSDataPacket::toBytes(const Key256& key, std::int32_t mode) const {
    const auto cipher = cipherForMode(mode);
    if (!cipher) {
        fail("Unknown packet encryption mode");
    }
    QByteArray body = encodeBody();
    const qsizetype total = HEADER_SIZE + EncryptionHelper::encryptedSize(*cipher, body.size());
    if (total > MAX_PACKET_SIZE) {
        secureWipe(body);
        fail("Packet is too large");
    }
    QByteArray header;
    header.reserve(HEADER_SIZE);
    appendU32(header, m_signature);
    appendU32(header, static_cast<std::uint32_t>(total));
    header.append(static_cast<char>(mode));
    header.append(static_cast<char>(BODY_FORMAT));
    header.append(2, '\0');

    QByteArray out = header;
    out.reserve(total);
    // The header is authenticated with the body: a changed length, mode or signature fails.
    out += EncryptionHelper::encrypt(key.bytes(), body, *cipher, header);
    secureWipe(body);
    return out;
}

void TCSDataPacket::write(QIODevice& out, const Key256& key, std::int32_t mode) const {
    const QByteArray bytes = toBytes(key, mode);
    if (out.write(bytes) != bytes.size()) {
        fail("Could not write the packet");
    }
}

std::optional<TCSDataPacket> TCSDataPacket::parse(const QByteArray& bytes, const Key256& key,
                                                  const IProtocol& protocol) {
    if (bytes.size() < HEADER_SIZE) {
        return std::nullopt;
    }
    const char* p = bytes.constData();
    if (readU32(p) != protocol.signature()) {
        fail("Not a packet: wrong signature");
    }
    const std::uint32_t length = readU32(p + 4);
    if (length < static_cast<std::uint32_t>(HEADER_SIZE)) {
        fail("Packet length is shorter than its header");
    }
    if (length > static_cast<std::uint32_t>(MAX_PACKET_SIZE)) {
        fail("Packet is too large");
    }
    if (bytes.size() < static_cast<qsizetype>(length)) {
        return std::nullopt;
    }
    const auto cipher = cipherForMode(static_cast<unsigned char>(p[kModeOffset]));
    if (!cipher) {
        fail("Unknown packet encryption mode");
    }
    if (static_cast<unsigned char>(p[kFormatOffset]) != BODY_FORMAT) {
        fail("Unknown packet body format");
    }
    if (p[kReservedOffset] != 0 || p[kReservedOffset + 1] != 0) {
        fail("Packet header has unknown flags");
    }
    const QByteArray header = bytes.left(HEADER_SIZE);
    const QByteArray sealed = bytes.mid(HEADER_SIZE, length - HEADER_SIZE);
    QByteArray body = EncryptionHelper::decrypt(key.bytes(), sealed, *cipher, header);
    TCSDataPacket packet(protocol);
    try {
        packet.decodeBody(body);
    } catch (...) {
        secureWipe(body);
        throw;
    }
    secureWipe(body);
    return packet;
}

} // namespace keskor
