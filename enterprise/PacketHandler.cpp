#include "enterprise/PacketHandler.h"

#include "core/shared/CommonException.h"

#include <QtEndian>
#include <cstring>

namespace keskor {

namespace {

// The consumed front is dropped once it is this large and at least as large as what is left,
// so every byte is moved at most a constant number of times.
constexpr qsizetype kCompactThreshold = 64 * 1024;

} // namespace

PacketHandler::PacketHandler(const IProtocol& protocol, qsizetype maxPacketSize)
    : m_serverProtocol(protocol), m_maxPacketSize(maxPacketSize) {
    qToLittleEndian<quint32>(protocol.signature(), m_signature.data());
}

void PacketHandler::arm() {
    m_state = State::waitSignature;
    m_expected = headerCount;
    m_data.clear();
    m_offset = 0;
}

void PacketHandler::reset() {
    m_state = State::off;
    m_expected = 0;
    m_data.clear();
    m_offset = 0;
}

void PacketHandler::append(const char* bytes, qsizetype size) {
    if (m_state == State::off || size <= 0) {
        return;
    }
    m_data.append(bytes, size);
}

void PacketHandler::drop(qsizetype count) {
    m_offset += count;
    if (m_offset == m_data.size()) {
        m_data.clear();
        m_offset = 0;
    } else if (m_offset >= kCompactThreshold && m_offset >= m_data.size() - m_offset) {
        m_data.remove(0, m_offset);
        m_offset = 0;
    }
}

PacketHandler::Result PacketHandler::fail(const char* errorKey) {
    reset();
    return Result{QString::fromLatin1(errorKey), std::nullopt};
}

PacketHandler::Result PacketHandler::process() {
    for (;;) {
        switch (m_state) {
        case State::off:
            return {};
        case State::waitSignature: {
            if (buffered() < m_expected) {
                return {};
            }
            const char* begin = m_data.constData() + m_offset;
            const void* found = std::memchr(begin, m_signature[0], size_t(buffered()));
            if (found == nullptr) {
                m_data.clear();
                m_offset = 0;
                return {};
            }
            drop(static_cast<const char*>(found) - begin);
            if (buffered() < 4) {
                return {};
            }
            if (std::memcmp(m_data.constData() + m_offset, m_signature.data(), 4) == 0) {
                m_state = State::waitHeader;
            } else {
                drop(1);
            }
            continue;
        }
        case State::waitHeader: {
            if (buffered() < m_expected) {
                return {};
            }
            const auto length = qFromLittleEndian<qint32>(m_data.constData() + m_offset + 4);
            // A negative or short length is malformed; one beyond what we are prepared to
            // buffer is refused the same way rather than waited for.
            if (length < headerCount || length > m_maxPacketSize) {
                return fail("enterprise_error_wrong_data_format");
            }
            m_expected = length;
            m_state = State::waitBody;
            m_data.reserve(m_offset + length);
            continue;
        }
        case State::waitBody: {
            if (buffered() < m_expected) {
                return {};
            }
            if (!key) {
                return fail("enterprise_error_empty_key");
            }
            std::optional<TCSDataPacket> packet;
            try {
                const QByteArray whole = m_offset == 0 ? m_data : m_data.mid(m_offset);
                packet = TCSDataPacket::parse(whole, *key, m_serverProtocol);
            } catch (const CommonException&) {
                packet.reset();
            }
            if (!packet) {
                return fail("enterprise_error_wrong_parsing");
            }
            m_lastMode = static_cast<unsigned char>(m_data.at(m_offset + 8));
            reset();
            return Result{std::nullopt, std::move(packet)};
        }
        }
    }
}

} // namespace keskor
