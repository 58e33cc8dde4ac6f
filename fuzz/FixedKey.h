#pragma once
// The one key every fuzz target seals and opens with: a constant, so no input pays for a key
// derivation and a finding reproduces from its input alone.

#include "core/shared/Key256.h"

#include <cstddef>
#include <cstdint>

namespace keskor::fuzz {

inline const Key256& fixedKey() {
    static const Key256 key = [] {
        std::uint8_t bytes[Key256::Size];
        for (std::size_t i = 0; i < sizeof bytes; ++i) {
            bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
        }
        return Key256::fromBytes(bytes, sizeof bytes);
    }();
    return key;
}

/// Stops the run: the target found a broken promise, not just bad input.
[[noreturn]] inline void broken() {
    __builtin_trap();
}

} // namespace keskor::fuzz
