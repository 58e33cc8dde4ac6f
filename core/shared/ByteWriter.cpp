#include "core/shared/ByteWriter.h"

#include <QStringEncoder>
#include <bit>
#include <cstring>

namespace keskor {

static_assert(std::endian::native == std::endian::little, "the body format is little-endian");

ByteWriter& ByteWriter::operator<<(const QString& v) {
    if (v.isNull()) {
        return *this << kNull;
    }
    // Encoding in place avoids a temporary QByteArray for every text of the database.
    const qsizetype at = m_out.size();
    m_out.resize(at + 4 + v.size() * 3);
    char* start = m_out.data() + at + 4;
    QStringEncoder utf8(QStringEncoder::Utf8);
    char* end = utf8.appendToBuffer(start, v);
    const auto length = static_cast<std::uint32_t>(end - start);
    std::memcpy(m_out.data() + at, &length, 4);
    m_out.resize(at + 4 + length);
    return *this;
}

ByteWriter& ByteWriter::operator<<(const QByteArray& v) {
    if (v.isNull()) {
        return *this << kNull;
    }
    *this << static_cast<std::uint32_t>(v.size());
    append(v.constData(), v.size());
    return *this;
}

ByteWriter& ByteWriter::operator<<(const QStringList& v) {
    *this << static_cast<std::uint32_t>(v.size());
    for (const QString& s : v) {
        *this << s;
    }
    return *this;
}

} // namespace keskor
