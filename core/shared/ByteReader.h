#pragma once
// Reads what ByteWriter wrote, with a bounds check on every field. A read past the end or a
// length beyond the remaining bytes sets a sticky failure (like QDataStream's status) and
// yields empty values; the caller checks `ok()` at its own checkpoints.
//
// The bytes come from memory or from a Source that produces them piecewise (the database body
// is decompressed while it is parsed, so the whole plaintext never sits in memory at once).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace keskor {

class ByteReader {
public:
    class Source {
    public:
        virtual ~Source() = default;
        /// Appends at most `max` further bytes to `out`; false when none are left or the
        /// source is broken.
        virtual bool fill(QByteArray& out, qsizetype max) = 0;
    };

    explicit ByteReader(const QByteArray& in);
    /// `totalBytes` is what the source will deliver in all; counts are checked against it.
    ByteReader(Source& source, qint64 totalBytes);
    ~ByteReader();
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    bool ok() const noexcept { return m_ok; }
    qint64 remaining() const noexcept { return m_total - consumed(); }
    void fail() noexcept;

    ByteReader& operator>>(bool& v);
    ByteReader& operator>>(std::uint8_t& v) { return raw(v); }
    ByteReader& operator>>(std::uint16_t& v) { return raw(v); }
    ByteReader& operator>>(std::int32_t& v) { return raw(v); }
    ByteReader& operator>>(std::uint32_t& v) { return raw(v); }
    ByteReader& operator>>(std::uint64_t& v) { return raw(v); }
    /// Doubles in our formats are moments in time; one that is no number reads as "no time",
    /// so what was read writes back as the same value and compares equal to itself.
    ByteReader& operator>>(double& v) {
        raw(v);
        if (!std::isfinite(v)) {
            v = 0.0;
        }
        return *this;
    }
    ByteReader& operator>>(QString& v);
    ByteReader& operator>>(QByteArray& v);
    ByteReader& operator>>(QStringList& v);
    /// The next `n` bytes, valid until the next read; an empty view (and `ok()` false) when
    /// they are not there.
    QByteArrayView take(qint64 n);

private:
    template <typename T> ByteReader& raw(T& v) {
        if (!ensure(sizeof v)) {
            v = T{};
            return *this;
        }
        std::memcpy(&v, m_pos, sizeof v);
        m_pos += sizeof v;
        return *this;
    }
    /// True when `n` bytes are available at m_pos (pulling them from the source if needed).
    bool ensure(qint64 n) { return m_ok && (m_end - m_pos >= n || refill(n)); }
    bool refill(qint64 n);
    /// The next length-prefixed run: nullptr for a null value, or with `ok()` false.
    const char* run(std::uint32_t& length);
    qint64 consumed() const noexcept { return m_offset + (m_pos - m_base); }

    Source* m_source = nullptr;
    QByteArray m_buffer; // the source's bytes not yet read (unused for memory input)
    const char* m_base = nullptr;
    const char* m_pos = nullptr;
    const char* m_end = nullptr;
    qint64 m_offset = 0; // bytes consumed before m_base
    qint64 m_total = 0;
    bool m_ok = true;
};

} // namespace keskor
