#pragma once
// Little-endian binary writer for the database body: fixed-width numbers, UTF-8 texts and byte
// strings with a 32-bit length (0xFFFFFFFF marks a null value). Appends straight to memory, so
// writing a large database costs no device calls per field.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstring>

namespace keskor {

class ByteWriter {
public:
    explicit ByteWriter(QByteArray& out) : m_out(out) {}

    ByteWriter& operator<<(bool v) { return raw(static_cast<std::uint8_t>(v ? 1 : 0)); }
    ByteWriter& operator<<(std::uint8_t v) { return raw(v); }
    ByteWriter& operator<<(std::uint16_t v) { return raw(v); }
    ByteWriter& operator<<(std::int32_t v) { return raw(v); }
    ByteWriter& operator<<(std::uint32_t v) { return raw(v); }
    ByteWriter& operator<<(std::uint64_t v) { return raw(v); }
    ByteWriter& operator<<(double v) { return raw(v); }
    ByteWriter& operator<<(const QString& v);
    ByteWriter& operator<<(const QByteArray& v);
    ByteWriter& operator<<(const QStringList& v);

    /// Bytes as they are, with no length: for parts already in the body's form.
    void append(const char* data, qsizetype size) {
        // QByteArray::append goes through insert(), which costs a hundred instructions for a
        // four-byte field; the body has millions of them. With room at the end (the body is
        // reserved up front), copy in place; the terminator has its own byte past capacity().
        auto& d = m_out.data_ptr();
        if (size <= d.freeSpaceAtEnd() && !d.needsDetach()) {
            std::memcpy(d.data() + d.size, data, static_cast<std::size_t>(size));
            d.size += size;
            d.data()[d.size] = '\0';
        } else {
            m_out.append(data, size);
        }
    }

    static constexpr std::uint32_t kNull = 0xFFFFFFFFu;

private:
    // Every platform we build for is little-endian; the static_assert in the .cpp guards it.
    template <typename T> ByteWriter& raw(T v) {
        append(reinterpret_cast<const char*>(&v), sizeof v);
        return *this;
    }
    QByteArray& m_out;
};

} // namespace keskor
