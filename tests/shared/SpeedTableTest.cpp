#include "SpeedTable.h"

#include <gtest/gtest.h>

namespace lm::speedTable {
namespace {

TEST(SpeedTableTest, TextWidthEstimateRoundsDown) {
    EXPECT_EQ(textWidthEstimate(15360, 3), 35446);
    EXPECT_EQ(textWidthEstimate(15360, 0), 0);
    EXPECT_EQ(textWidthEstimate(13, 1), 10);
}

TEST(SpeedTableTest, TextWidthEstimateOfALongTextStaysInRange) {
    // 4K at 96 dpi is 57600 twips; 40 000 characters would overflow 32 bits.
    EXPECT_EQ(textWidthEstimate(57600, 40000), maxRunTwips);
    EXPECT_EQ(textWidthEstimate(57600, std::size_t(-1)), maxRunTwips);
    EXPECT_EQ(textWidthEstimate(57600, 20000), 886153846);
}

TEST(SpeedTableTest, StepRoundsHalvesToEvenAndNeverStops) {
    // 30 / 12 = 2.5 and 42 / 12 = 3.5.
    EXPECT_EQ(moveStep(30, "速く", Mode::Text), 2);
    EXPECT_EQ(moveStep(42, "速く", Mode::Text), 4);
    EXPECT_EQ(moveStep(25, "速く", Mode::Picture), 2);
    EXPECT_EQ(moveStep(0, "中", Mode::Text), 1);
    EXPECT_EQ(moveStep(20, "遅く", Mode::Picture), 1);
}

} // namespace
} // namespace lm::speedTable
