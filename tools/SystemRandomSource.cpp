#include "tools/SystemRandomSource.h"

#include "core/shared/SecureBytes.h"

#include <sodium.h>

namespace keskor {

SystemRandomSource::SystemRandomSource() {
    ensureCryptoReady();
}

SystemRandomSource::~SystemRandomSource() {
    secureWipe(m_block.data(), sizeof m_block);
}

std::uint64_t SystemRandomSource::next64() {
    if (m_next == kBlock) {
        // Each block is the ChaCha20 stream of a fresh key from the system generator: one
        // small system call per block, while the kernel would otherwise compute every byte.
        std::array<unsigned char, randombytes_SEEDBYTES> key{};
        randombytes_buf(key.data(), key.size());
        randombytes_buf_deterministic(m_block.data(), sizeof m_block, key.data());
        sodium_memzero(key.data(), key.size());
        m_next = 0;
    }
    const std::uint64_t value = m_block[m_next];
    m_block[m_next++] = 0; // a value is used once and not kept
    return value;
}

} // namespace keskor
