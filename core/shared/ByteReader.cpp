#include "core/shared/ByteReader.h"

#include "core/shared/ByteWriter.h"
#include "core/shared/SecureBytes.h"

#include <algorithm>

namespace keskor {

namespace {
constexpr qsizetype kChunk = 256 * 1024;
}

ByteReader::ByteReader(const QByteArray& in)
    : m_base(in.constData()), m_pos(in.constData()), m_end(in.constData() + in.size()),
      m_total(in.size()) {}

ByteReader::ByteReader(Source& source, qint64 totalBytes)
    : m_source(&source), m_total(totalBytes) {}

ByteReader::~ByteReader() {
    secureWipe(m_buffer); // the body's plaintext passes through it
}

void ByteReader::fail() noexcept {
    m_ok = false;
    m_pos = m_end;
}

bool ByteReader::refill(qint64 n) {
    if (m_source == nullptr || n > remaining()) {
        fail();
        return false;
    }
    // Drop what was read, keep the unread tail, then pull until `n` bytes are there (a long
    // text may take more than one chunk).
    const qint64 done = m_pos - m_base;
    if (done > 0) {
        secureWipe(m_buffer.data(), static_cast<std::size_t>(done));
        m_buffer.remove(0, static_cast<qsizetype>(done));
    }
    m_offset += done;
    const qint64 undelivered = m_total - m_offset; // the source's bytes from the buffer start on
    while (m_buffer.size() < n) {
        const qint64 want = std::min<qint64>(std::max<qint64>(kChunk, n - m_buffer.size()),
                                             undelivered - m_buffer.size());
        if (want <= 0 || !m_source->fill(m_buffer, static_cast<qsizetype>(want))) {
            m_base = m_pos = m_end = nullptr;
            m_ok = false;
            return false;
        }
    }
    m_base = m_pos = m_buffer.constData();
    m_end = m_base + m_buffer.size();
    return true;
}

ByteReader& ByteReader::operator>>(bool& v) {
    std::uint8_t b = 0;
    raw(b);
    if (b > 1) {
        fail();
    }
    v = b == 1;
    return *this;
}

const char* ByteReader::run(std::uint32_t& length) {
    raw(length);
    if (!m_ok || length == ByteWriter::kNull) {
        return nullptr;
    }
    if (!ensure(length)) {
        return nullptr;
    }
    const char* start = m_pos;
    m_pos += length;
    return start;
}

QByteArrayView ByteReader::take(qint64 n) {
    if (n < 0 || !ensure(n)) {
        fail();
        return {};
    }
    const char* start = m_pos;
    m_pos += n;
    return QByteArrayView(start, n);
}

ByteReader& ByteReader::operator>>(QString& v) {
    std::uint32_t length = 0;
    const char* start = run(length);
    if (start == nullptr) {
        v = QString();
    } else if (length == 0) {
        v = QString::fromLatin1(""); // empty, not null
    } else {
        v = QString::fromUtf8(start, static_cast<qsizetype>(length));
    }
    return *this;
}

ByteReader& ByteReader::operator>>(QByteArray& v) {
    std::uint32_t length = 0;
    const char* start = run(length);
    v = start ? QByteArray(start, static_cast<qsizetype>(length)) : QByteArray();
    return *this;
}

ByteReader& ByteReader::operator>>(QStringList& v) {
    std::uint32_t count = 0;
    raw(count);
    v.clear();
    // Each text takes at least its 4-byte length: a larger count cannot be genuine.
    if (!m_ok || static_cast<qint64>(count) * 4 > remaining()) {
        fail();
        return *this;
    }
    v.reserve(static_cast<qsizetype>(count));
    for (std::uint32_t i = 0; i < count && m_ok; ++i) {
        QString s;
        *this >> s;
        v.append(std::move(s));
    }
    return *this;
}

} // namespace keskor
