#pragma once
// Permission bits of an entry on an enterprise database (32-bit).

#include <cstdint>

namespace keskor {

class AccessRights {
public:
    static constexpr std::uint32_t PWD_ACCESS_READ = 0x01;
    static constexpr std::uint32_t PWD_ACCESS_MODIFY = 0x02;
    static constexpr std::uint32_t PWD_ACCESS_DELETE = 0x04;
    static constexpr std::uint32_t PWD_ACCESS_USE = 0x08;
    static constexpr std::uint32_t PWD_ACCESS_PRINT = 0x10;
    static constexpr std::uint32_t ALL =
        PWD_ACCESS_READ | PWD_ACCESS_MODIFY | PWD_ACCESS_DELETE | PWD_ACCESS_USE | PWD_ACCESS_PRINT;
};

} // namespace keskor
