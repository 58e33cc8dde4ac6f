#include "core/shared/DateTimeHelper.h"

#include <gtest/gtest.h>

using keskor::DateTimeHelper;

namespace {

struct DelphiCase {
    double value;
    QDateTime expected;
};

class DelphiDateTest : public ::testing::TestWithParam<DelphiCase> {};

TEST_P(DelphiDateTest, ConvertsBothWays) {
    const auto& c = GetParam();
    EXPECT_EQ(DateTimeHelper::parseDelphiDate(c.value), c.expected) << c.value;
    EXPECT_DOUBLE_EQ(DateTimeHelper::toDelphiTime(c.expected), c.value);
    const auto clock = DateTimeHelper::parseDelphiWallClock(c.value);
    ASSERT_TRUE(clock.has_value());
    EXPECT_EQ(clock->date, c.expected.date());
    EXPECT_EQ(clock->time, c.expected.time());
}

QDateTime at(int y, int m, int d, int h = 0, int min = 0, int s = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min, s));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DelphiDateTest,
    ::testing::Values(DelphiCase{0.0, at(1899, 12, 30)}, DelphiCase{1.0, at(1899, 12, 31)},
                      DelphiCase{2.0, at(1900, 1, 1)}, DelphiCase{0.25, at(1899, 12, 30, 6)},
                      DelphiCase{2.75, at(1900, 1, 1, 18)}, DelphiCase{-1.0, at(1899, 12, 29)},
                      // Before the epoch the fraction still counts forward within the day.
                      DelphiCase{-1.25, at(1899, 12, 29, 6)},
                      DelphiCase{-1.75, at(1899, 12, 29, 18)}, DelphiCase{35065.0, at(1996, 1, 1)},
                      DelphiCase{45658.5, at(2025, 1, 1, 12)}));

TEST(DelphiDateEdgeTest, RoundingNeverProducesAnInvalidTime) {
    const QDateTime t = DateTimeHelper::parseDelphiDate(1.0 - 1e-12);
    EXPECT_EQ(t, at(1899, 12, 31));
}

TEST(DelphiDateEdgeTest, ValuesQtCannotHoldGiveAnInvalidDate) {
    EXPECT_FALSE(
        DateTimeHelper::parseDelphiDate(std::numeric_limits<double>::quiet_NaN()).isValid());
    EXPECT_FALSE(DateTimeHelper::parseDelphiDate(1e300).isValid());
    EXPECT_FALSE(DateTimeHelper::parseDelphiWallClock(-1e300).has_value());
    EXPECT_EQ(DateTimeHelper::toDelphiTime(QDateTime()), 0.0);
}

} // namespace
