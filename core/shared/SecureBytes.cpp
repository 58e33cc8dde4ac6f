#include "core/shared/SecureBytes.h"

#include <sodium.h>

namespace keskor {

void secureWipe(void* data, std::size_t size) noexcept {
    if (data != nullptr && size > 0) {
        sodium_memzero(data, size);
    }
}

void secureWipe(QByteArray& bytes) noexcept {
    if (!bytes.isEmpty() && !bytes.isDetached()) {
        bytes.clear();
        return;
    }
    if (!bytes.isEmpty()) {
        sodium_memzero(bytes.data(), static_cast<std::size_t>(bytes.size()));
    }
    bytes.clear();
}

void secureWipe(QString& text) noexcept {
    if (!text.isEmpty() && text.isDetached()) {
        sodium_memzero(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
    text.clear();
}

SecureBytes::SecureBytes(const void* data, std::size_t size) {
    append(data, size);
}

SecureBytes SecureBytes::fromByteArray(const QByteArray& bytes) {
    return SecureBytes(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

SecureBytes SecureBytes::fromText(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    SecureBytes result = fromByteArray(utf8);
    secureWipe(utf8);
    return result;
}

void SecureBytes::append(const void* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    // Grow into a fresh buffer ourselves so the old one is wiped by the allocator, never
    // left behind by a reallocation we do not see.
    decltype(m_bytes) grown;
    grown.reserve(m_bytes.size() + size);
    grown.insert(grown.end(), m_bytes.begin(), m_bytes.end());
    const auto* p = static_cast<const std::uint8_t*>(data);
    grown.insert(grown.end(), p, p + size);
    m_bytes.swap(grown);
}

QByteArray SecureBytes::toByteArray() const {
    return QByteArray(reinterpret_cast<const char*>(m_bytes.data()),
                      static_cast<qsizetype>(m_bytes.size()));
}

QString SecureBytes::toText() const {
    return QString::fromUtf8(reinterpret_cast<const char*>(m_bytes.data()),
                             static_cast<qsizetype>(m_bytes.size()));
}

bool SecureBytes::equals(const SecureBytes& other) const noexcept {
    if (m_bytes.size() != other.m_bytes.size()) {
        return false;
    }
    if (m_bytes.empty()) {
        return true;
    }
    return sodium_memcmp(m_bytes.data(), other.m_bytes.data(), m_bytes.size()) == 0;
}

} // namespace keskor

namespace keskor {
void ensureCryptoReady() {
    static const int ready = sodium_init();
    (void)ready;
}
} // namespace keskor
