#pragma once
// Where the generator's randomness comes from: 64-bit values of a secure generator, turned into
// unbiased integers below a bound. Behind an interface so tests can drive exact sequences.

#include <cstdint>

namespace keskor {

class RandomSource {
public:
    virtual ~RandomSource() = default;

    /// One uniformly distributed 64-bit value.
    virtual std::uint64_t next64() = 0;

    /// A uniformly distributed integer in [0, n) without modulo bias: the high half of the
    /// 128-bit product of a 64-bit value and n, redrawn while the low half is below 2^64 mod n.
    /// Throws CommonException for n == 0.
    std::uint64_t uniform(std::uint64_t n);
};

} // namespace keskor
