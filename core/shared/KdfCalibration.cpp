#include "core/shared/KdfCalibration.h"

#include "core/shared/KeyHelper.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sodium.h>

namespace keskor {

double KdfCalibration::probeSeconds() {
    PassFile::KdfParameters kdf;
    kdf.memoryBytes = kMinimumMemory;
    kdf.passes = 1;
    kdf.salt = QByteArray(crypto_pwhash_SALTBYTES, '\0');
    const SecureBytes input(32);
    const auto start = std::chrono::steady_clock::now();
    (void)KeyHelper::derive(input, kdf);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

KdfCalibration::Cost KdfCalibration::scaled(double probe, bool advanced) {
    // Argon2id's time is close to proportional to memory times passes; the budget counts
    // passes over the minimum memory.
    const double budget = probe > 0 && std::isfinite(probe) ? kTargetSeconds / probe : 1.0;
    constexpr std::uint64_t kMaxSteps = kMaximumMemory / kMinimumMemory;
    constexpr double kPassesBeforeMoreMemory = 3;
    const auto steps = static_cast<std::uint64_t>(
        std::clamp(std::floor(budget / kPassesBeforeMoreMemory), 1.0, double(kMaxSteps)));
    const double passes =
        std::clamp(std::round(budget / double(steps)), 1.0, double(kMaximumPasses));
    Cost cost{steps * kMinimumMemory, static_cast<std::uint32_t>(passes)};
    if (advanced) {
        cost.memoryBytes = std::max(cost.memoryBytes, kAdvancedMemory);
        cost.passes = std::max(cost.passes, kAdvancedPasses);
    }
    return cost;
}

} // namespace keskor
