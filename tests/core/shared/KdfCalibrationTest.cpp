// Scaling one probe to the cost of a new database: the time aimed at, the floors and the caps.

#include "core/shared/KdfCalibration.h"

#include <gtest/gtest.h>
#include <limits>

using namespace keskor;
using Cost = KdfCalibration::Cost;

namespace {

constexpr std::uint64_t MiB = KdfCalibration::kMiB;

struct ScaleCase {
    const char* name;
    double probe;
    bool advanced;
    Cost expected;
};

class KdfScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(KdfScaleTest, CostForTheProbe) {
    const ScaleCase& c = GetParam();
    const Cost cost = KdfCalibration::scaled(c.probe, c.advanced);
    EXPECT_EQ(cost.memoryBytes / MiB, c.expected.memoryBytes / MiB);
    EXPECT_EQ(cost.passes, c.expected.passes);
    if (c.probe > 0 && !c.advanced) {
        const double seconds = c.probe * double(cost.memoryBytes / (64 * MiB)) * cost.passes;
        if (cost.passes > 1 && cost.passes < KdfCalibration::kMaximumPasses) {
            EXPECT_GE(seconds, 0.5);
            EXPECT_LE(seconds, 1.0);
        }
    }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Machines, KdfScaleTest,
    ::testing::Values(ScaleCase{"Typical", 0.1, false, {128 * MiB, 4}},
                      ScaleCase{"Fast", 0.05, false, {320 * MiB, 3}},
                      ScaleCase{"VeryFastHitsTheMemoryCap", 0.001, false, {512 * MiB, 94}},
                      ScaleCase{"AbsurdlyFastHitsThePassCap", 1e-9, false, {512 * MiB, 100}},
                      ScaleCase{"SlowKeepsTheMinimumMemory", 0.3, false, {64 * MiB, 3}},
                      ScaleCase{"TooSlowStillOnePass", 5.0, false, {64 * MiB, 1}},
                      ScaleCase{"BrokenProbe", kNaN, false, {64 * MiB, 1}},
                      ScaleCase{"NoTime", 0.0, false, {64 * MiB, 1}},
                      ScaleCase{"AdvancedFloor", 0.3, true, {256 * MiB, 4}},
                      ScaleCase{"AdvancedOnAFastMachine", 0.02, true, {512 * MiB, 5}}),
    [](const ::testing::TestParamInfo<ScaleCase>& info) { return info.param.name; });

} // namespace
