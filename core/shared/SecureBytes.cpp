#include "core/shared/SecureBytes.h"

#include <algorithm>
#include <new>
#include <sodium.h>
#include <unistd.h>

namespace keskor {

namespace {

std::size_t pageSize() noexcept {
    static const std::size_t size = [] {
        const long page = sysconf(_SC_PAGESIZE);
        return page > 0 ? static_cast<std::size_t>(page) : std::size_t(4096);
    }();
    return size;
}

// Whole pages, because munlock works on pages: a buffer sharing a page with another would
// unlock it when released.
std::size_t roundToPages(std::size_t size) noexcept {
    const std::size_t page = pageSize();
    return (std::max<std::size_t>(size, 1) + page - 1) / page * page;
}

} // namespace

void* allocateSecretPages(std::size_t size) {
    const std::size_t pages = roundToPages(size);
    void* p = ::operator new (pages, std::align_val_t{pageSize()});
    // Failing to lock (RLIMIT_MEMLOCK used up) is not an error: the pages are still wiped.
    (void)sodium_mlock(p, pages);
    return p;
}

void releaseSecretPages(void* data, std::size_t size) noexcept {
    if (data == nullptr) {
        return;
    }
    const std::size_t pages = roundToPages(size);
    // Wipes, then unlocks; unlocking pages that were never locked is harmless.
    sodium_munlock(data, pages);
    ::operator delete (data, std::align_val_t{pageSize()});
}

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
