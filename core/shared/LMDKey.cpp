#include "core/shared/LMDKey.h"

#include <sodium.h>

namespace keskor {

Key256 LMDKey::generateLMDKey(const Key256& key, const QByteArray& message) {
    ensureCryptoReady();
    Key256 out;
    crypto_generichash(out.data(), Key256::Size,
                       reinterpret_cast<const unsigned char*>(message.constData()),
                       static_cast<unsigned long long>(message.size()), key.data(), Key256::Size);
    return out;
}

} // namespace keskor
