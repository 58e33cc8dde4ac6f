#pragma once
// A 256-bit symmetric key: the derived database key, a key-file key, a session key of the
// enterprise protocol. Wiped when destroyed.

#include "core/shared/SecureBytes.h"

#include <array>
#include <cstdint>

namespace keskor {

class Key256 {
public:
    static constexpr std::size_t Size = 32;

    Key256() : m_bytes(Size) {}
    /// Throws CommonException unless exactly Size bytes are given.
    static Key256 fromBytes(const void* data, std::size_t size);
    static Key256 fromSecure(const SecureBytes& bytes);
    static Key256 random();

    const std::uint8_t* data() const noexcept { return m_bytes.data(); }
    std::uint8_t* data() noexcept { return m_bytes.data(); }
    static constexpr std::size_t size() noexcept { return Size; }
    const SecureBytes& bytes() const noexcept { return m_bytes; }

    bool operator==(const Key256& other) const noexcept { return m_bytes.equals(other.m_bytes); }

private:
    SecureBytes m_bytes;
};

} // namespace keskor
