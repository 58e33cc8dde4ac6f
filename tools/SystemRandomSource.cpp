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
        randombytes_buf(m_block.data(), sizeof m_block);
        m_next = 0;
    }
    const std::uint64_t value = m_block[m_next];
    m_block[m_next++] = 0; // a value is used once and not kept
    return value;
}

} // namespace keskor
