#pragma once
// Cuts the byte stream of an enterprise connection into answer packets: finds the signature,
// reads the length from the header, waits for the whole packet and has TCSDataPacket decrypt
// it. One answer per arming; the TCP client arms it before each request. Not thread-safe: it
// lives on the client's connection thread.
//
// Received bytes are kept behind a read offset, so bytes arriving one at a time cost constant
// work each; the consumed front is dropped only when it outgrows what is still unread.

#include "core/shared/IProtocol.h"
#include "core/shared/Key256.h"
#include "core/shared/TCSDataPacket.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace keskor {

class PacketHandler {
public:
    enum class State : int { off = 0, waitSignature = 1, waitHeader = 2, waitBody = 3 };

    /// No error and no packet: more bytes are needed.
    struct Result {
        std::optional<QString> error;
        std::optional<TCSDataPacket> packet;
    };

    static constexpr qsizetype headerCount = 12;

    /// `protocol` must outlive the handler. `maxPacketSize` bounds what a length field may
    /// announce, so a hostile peer cannot make us buffer without limit.
    explicit PacketHandler(const IProtocol& protocol,
                           qsizetype maxPacketSize = TCSDataPacket::MAX_PACKET_SIZE);

    /// Before a request: wait for a signature, nothing buffered.
    void arm();
    /// On close: off, nothing buffered.
    void reset();
    /// Appends a received piece; ignored while the handler is off.
    void append(const char* bytes, qsizetype size);
    void append(const QByteArray& bytes) { append(bytes.constData(), bytes.size()); }
    Result process();

    State state() const noexcept { return m_state; }
    qsizetype expected() const noexcept { return m_expected; }
    /// Bytes received and not yet consumed.
    qsizetype buffered() const noexcept { return m_data.size() - m_offset; }
    const std::array<std::uint8_t, 4>& signature() const noexcept { return m_signature; }
    /// The encryption mode (header byte 8) of the last packet returned, so that a server can
    /// answer in the mode it was asked in; 0 before the first.
    std::int32_t lastMode() const noexcept { return m_lastMode; }

    std::optional<Key256> key;

private:
    Result fail(const char* errorKey);
    void drop(qsizetype count);

    const IProtocol& m_serverProtocol;
    const qsizetype m_maxPacketSize;
    std::array<std::uint8_t, 4> m_signature{};
    State m_state = State::off;
    qsizetype m_expected = 0;
    QByteArray m_data;
    qsizetype m_offset = 0;
    std::int32_t m_lastMode = 0;
};

} // namespace keskor
