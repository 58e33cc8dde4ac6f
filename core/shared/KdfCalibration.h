#pragma once
// Key-derivation cost for a new database, measured on this machine: one short Argon2id probe,
// scaled so that opening takes about three quarters of a second, never below 64 MiB.

#include <cstdint>

namespace keskor {

class KdfCalibration {
public:
    struct Cost {
        std::uint64_t memoryBytes = 0;
        std::uint32_t passes = 0;
        bool operator==(const Cost&) const = default;
    };

    static constexpr std::uint64_t kMiB = 1024ull * 1024;
    static constexpr std::uint64_t kMinimumMemory = 64 * kMiB;
    /// More memory than this is not asked of an ordinary machine; passes make up the rest.
    static constexpr std::uint64_t kMaximumMemory = 512 * kMiB;
    static constexpr std::uint32_t kMaximumPasses = 100;
    static constexpr double kTargetSeconds = 0.75;
    /// The floor of "advanced encryption", whatever the machine.
    static constexpr std::uint64_t kAdvancedMemory = 256 * kMiB;
    static constexpr std::uint32_t kAdvancedPasses = 4;

    /// Seconds one Argon2id pass over kMinimumMemory takes here (about a tenth of a second).
    static double probeSeconds();
    /// The cost that takes about kTargetSeconds on a machine where one pass over
    /// kMinimumMemory takes `probe` seconds. Memory grows first (in 64 MiB steps, keeping at
    /// least three passes), then passes; a slow machine still gets the minimum memory and one
    /// pass.
    static Cost scaled(double probe, bool advanced);
};

} // namespace keskor
