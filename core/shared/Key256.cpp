#include "core/shared/Key256.h"

#include "core/shared/CommonException.h"

#include <cstring>
#include <sodium.h>

namespace keskor {

Key256 Key256::fromBytes(const void* data, std::size_t size) {
    if (size != Size) {
        throw CommonException(QStringLiteral("Invalid key length"));
    }
    Key256 key;
    std::memcpy(key.m_bytes.data(), data, Size);
    return key;
}

Key256 Key256::fromSecure(const SecureBytes& bytes) {
    return fromBytes(bytes.data(), bytes.size());
}

Key256 Key256::random() {
    ensureCryptoReady();
    Key256 key;
    randombytes_buf(key.m_bytes.data(), Size);
    return key;
}

} // namespace keskor
