#include "core/shared/KdfCalibration.h"

#include <gtest/gtest.h>
#include <limits>

TEST(KdfCalibrationTest, CostForTheProbeOfAMachine) {
    const struct {
        double probe;
        bool advanced;
        std::uint64_t mib;
        std::uint32_t passes;
    } cases[] = {// clang-format off
        {0.1, false, 128, 4}, {0.05, false, 320, 3}, {0.001, false, 512, 94},
        {1e-9, false, 512, 100}, {5.0, false, 64, 1}, {0.3, true, 256, 4},
        {std::numeric_limits<double>::quiet_NaN(), false, 64, 1}};
    // clang-format on
    for (const auto& c : cases) {
        const auto cost = keskor::KdfCalibration::scaled(c.probe, c.advanced);
        EXPECT_EQ(cost, (keskor::KdfCalibration::Cost{c.mib << 20, c.passes})) << c.probe;
    }
}
