#include "tools/RandomSource.h"

#include "core/shared/CommonException.h"

namespace keskor {

std::uint64_t RandomSource::uniform(std::uint64_t n) {
    if (n == 0) {
        throw CommonException(QStringLiteral("A random choice needs at least one option."));
    }
    // 2^64 mod n, computed in 64 bits as (2^64 - n) mod n.
    const std::uint64_t threshold = (0 - n) % n;
    for (;;) {
        const unsigned __int128 product = static_cast<unsigned __int128>(next64()) * n;
        if (static_cast<std::uint64_t>(product) >= threshold) {
            return static_cast<std::uint64_t>(product >> 64);
        }
    }
}

} // namespace keskor
