#pragma once
// A byte buffer for secrets (passwords, key-file keys, derived keys): its memory is locked into
// RAM where the system allows, wiped when it is released or resized, and it has no stream or
// debug output, so it cannot reach a log.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace keskor {

void secureWipe(void* data, std::size_t size) noexcept;

/// Pages for secrets: each allocation gets whole pages of its own, locked into RAM with
/// sodium_mlock so they are never swapped out, and wiped and unlocked when released. Locking
/// fails quietly when RLIMIT_MEMLOCK is used up; the memory is then still wiped.
void* allocateSecretPages(std::size_t size);
void releaseSecretPages(void* data, std::size_t size) noexcept;

template <typename T> struct ZeroingAllocator {
    using value_type = T;
    ZeroingAllocator() noexcept = default;
    template <typename U> ZeroingAllocator(const ZeroingAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocateSecretPages(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { releaseSecretPages(p, n * sizeof(T)); }
    template <typename U> bool operator==(const ZeroingAllocator<U>&) const noexcept {
        return true;
    }
};

class SecureBytes {
public:
    SecureBytes() = default;
    explicit SecureBytes(std::size_t size) : m_bytes(size, 0) {}
    SecureBytes(const void* data, std::size_t size);
    /// Copies the bytes; the caller stays responsible for wiping its own buffer.
    static SecureBytes fromByteArray(const QByteArray& bytes);
    /// UTF-8 form of a text secret (a master password, a bridge password).
    static SecureBytes fromText(const QString& text);

    std::uint8_t* data() noexcept { return m_bytes.data(); }
    const std::uint8_t* data() const noexcept { return m_bytes.data(); }
    std::size_t size() const noexcept { return m_bytes.size(); }
    bool isEmpty() const noexcept { return m_bytes.empty(); }
    void clear() noexcept { m_bytes.clear(); }
    void append(const void* data, std::size_t size);

    /// A transient copy for APIs that need Qt types; wipe it with secureWipe when done.
    QByteArray toByteArray() const;
    QString toText() const;

    /// Constant-time comparison.
    bool equals(const SecureBytes& other) const noexcept;

private:
    std::vector<std::uint8_t, ZeroingAllocator<std::uint8_t>> m_bytes;
};

/// Wipes a Qt byte array in place (detaching it first, so the shared copy is the one wiped
/// only when no one else holds it).
void secureWipe(QByteArray& bytes) noexcept;
void secureWipe(QString& text) noexcept;

} // namespace keskor

namespace keskor {
/// Initialises libsodium once; cheap to call before every use of it.
void ensureCryptoReady();
} // namespace keskor
