#pragma once
// The operating system's cryptographically secure generator (libsodium, which reads getrandom
// on Linux). Values come in blocks of 4 KiB, each the ChaCha20 stream of a new 256-bit key
// drawn from the system, since a system call per draw, or the kernel computing every byte,
// would dominate the cost of generating; the unused rest of a block is wiped when the source
// goes away.

#include "tools/RandomSource.h"

#include <array>
#include <cstddef>

namespace keskor {

class SystemRandomSource : public RandomSource {
public:
    SystemRandomSource();
    ~SystemRandomSource() override;
    SystemRandomSource(const SystemRandomSource&) = delete;
    SystemRandomSource& operator=(const SystemRandomSource&) = delete;

    std::uint64_t next64() override;

private:
    static constexpr std::size_t kBlock = 512;
    std::array<std::uint64_t, kBlock> m_block{};
    std::size_t m_next = kBlock;
};

} // namespace keskor
