#pragma once
// One request or answer of the enterprise protocol, and its encrypted wire form: a 12-byte
// header (signature, total length, mode, body format) and an authenticated encrypted body.
// The layout is described in docs/packet-format.md.

#include "core/shared/IProtocol.h"
#include "core/shared/Key256.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class QIODevice;

namespace keskor {

class TCSDataPacket {
public:
    static constexpr std::int32_t ERR_SUCCESS = IProtocol::ERR_SUCCESS;
    static constexpr std::int32_t ERR_FAILED = IProtocol::ERR_FAILED;
    static constexpr std::int32_t CHANGE_PASSWORD_REQUIRED = IProtocol::CHANGE_PASSWORD_REQUIRED;
    static constexpr std::int32_t TWO_FACTOR_CODE_NOT_ACTIVATED =
        IProtocol::TWO_FACTOR_CODE_NOT_ACTIVATED;
    static constexpr std::int32_t TWO_FACTOR_CODE_REQUIRED = IProtocol::TWO_FACTOR_CODE_REQUIRED;
    static constexpr std::int32_t TWO_FACTOR_CODE_WRONG = IProtocol::TWO_FACTOR_CODE_WRONG;
    static constexpr std::int32_t DATA_PACKET_ENCRYPT = IProtocol::DATA_PACKET_ENCRYPT;
    static constexpr std::int32_t DATA_PACKET_ENCRYPT_CBC = IProtocol::DATA_PACKET_ENCRYPT_CBC;

    static constexpr qsizetype HEADER_SIZE = 12;
    /// Packets above this total length are refused on both sides.
    static constexpr qsizetype MAX_PACKET_SIZE = qsizetype(256) << 20;
    /// Header byte 9: the layout of the decrypted body.
    static constexpr std::uint8_t BODY_FORMAT = 1;

    /// An empty packet (command 0, ERR_SUCCESS, empty texts and data) of this protocol.
    explicit TCSDataPacket(const IProtocol& protocol);
    TCSDataPacket(const TCSDataPacket&) = default;
    TCSDataPacket(TCSDataPacket&&) noexcept = default;
    TCSDataPacket& operator=(const TCSDataPacket&) = default;
    TCSDataPacket& operator=(TCSDataPacket&&) noexcept = default;
    /// Texts and data may hold passwords and databases: wiped when the packet goes.
    ~TCSDataPacket();

    std::uint32_t signature() const { return m_signature; }
    std::int32_t command() const { return m_command; }
    void setCommand(std::int32_t command) { m_command = command; }
    std::int32_t result() const { return m_result; }
    void setResult(std::int32_t result) { m_result = result; }

    const QString& text1() const { return m_text1; }
    const QString& text2() const { return m_text2; }
    const QString& text3() const { return m_text3; }
    void setText1(const QString& text) { m_text1 = text; }
    void setText2(const QString& text) { m_text2 = text; }
    void setText3(const QString& text) { m_text3 = text; }

    const QByteArray& data1() const { return m_data1; }
    const QByteArray& data2() const { return m_data2; }
    const QByteArray& data3() const { return m_data3; }
    void setData1(const QByteArray& data) { m_data1 = data; }
    void setData2(const QByteArray& data) { m_data2 = data; }
    void setData3(const QByteArray& data) { m_data3 = data; }

    /// The wire bytes, encrypted under key in mode DATA_PACKET_ENCRYPT or
    /// DATA_PACKET_ENCRYPT_CBC. Throws CommonException on an unknown mode or a packet above
    /// MAX_PACKET_SIZE.
    QByteArray toBytes(const Key256& key, std::int32_t mode) const;
    /// Writes toBytes to out; throws CommonException when the device takes less.
    void write(QIODevice& out, const Key256& key, std::int32_t mode) const;

    /// Reads the packet at the start of bytes (bytes beyond its stated length are ignored).
    /// Nothing when bytes do not yet hold the whole packet. Throws CommonException for a
    /// wrong signature, an impossible length, an unknown mode or body format, a body that
    /// does not authenticate under key, or a malformed body.
    static std::optional<TCSDataPacket> parse(const QByteArray& bytes, const Key256& key,
                                              const IProtocol& protocol);

    bool operator==(const TCSDataPacket& other) const = default;

private:
    QByteArray encodeBody() const;
    void decodeBody(const QByteArray& body);

    std::uint32_t m_signature;
    std::int32_t m_command = 0;
    std::int32_t m_result = ERR_SUCCESS;
    QString m_text1;
    QString m_text2;
    QString m_text3;
    QByteArray m_data1;
    QByteArray m_data2;
    QByteArray m_data3;
};

} // namespace keskor
