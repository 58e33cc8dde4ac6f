#pragma once
// The operating system's cryptographically secure generator (libsodium, which reads getrandom
// on Linux). Values are fetched in blocks, since one system call per draw dominates the cost of
// generating; the unused rest of a block is wiped when the source goes away.

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
    static constexpr std::size_t kBlock = 128;
    std::array<std::uint64_t, kBlock> m_block{};
    std::size_t m_next = kBlock;
};

} // namespace keskor
