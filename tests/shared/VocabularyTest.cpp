#include "Vocabulary.h"

#include <gtest/gtest.h>

namespace lm::vocabulary {
namespace {

struct ColourCase {
    std::string word;
    std::optional<int> number;
};

class ColourLookup : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourLookup, GivesTheFirstExactMatchOrNone) {
    EXPECT_EQ(colourNumber(GetParam().word), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Words, ColourLookup,
    ::testing::Values(ColourCase{"黒", 0}, ColourCase{"白", 15}, ColourCase{"明るい灰色", 7},
                      ColourCase{"暗い灰色", 8}, ColourCase{"暗い青", 1},
                      ColourCase{"明るい赤", 12}, ColourCase{"白 ", std::nullopt},
                      ColourCase{" 白", std::nullopt}, ColourCase{"ホワイト", std::nullopt},
                      ColourCase{"", std::nullopt}, ColourCase{"暗いマゼンタ", std::nullopt}));

TEST(ColourWords, AreInNumberOrderAndEachFindsItsOwnNumber) {
    ASSERT_EQ(colourWords.size(), 16U);
    EXPECT_EQ(colourWords.front(), "黒");
    EXPECT_EQ(colourWords.back(), "白");
    for (int n = 0; n < colourCount; ++n) {
        EXPECT_EQ(colourNumber(colourWords[static_cast<std::size_t>(n)]), n);
    }
}

TEST(ColourRgb, FollowsTheSixteenColourPalette) {
    EXPECT_EQ(colourRgb(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(colourRgb(1), (Rgb{0, 0, 0x80}));
    EXPECT_EQ(colourRgb(7), (Rgb{0xC0, 0xC0, 0xC0}));
    EXPECT_EQ(colourRgb(8), (Rgb{0x80, 0x80, 0x80}));
    EXPECT_EQ(colourRgb(12), (Rgb{0xFF, 0, 0}));
    EXPECT_EQ(colourRgb(15), (Rgb{0xFF, 0xFF, 0xFF}));
    EXPECT_THROW(colourRgb(16), std::out_of_range);
}

TEST(SpeedWords, HaveTheirListPositions) {
    EXPECT_EQ(speedPosition("速く"), 0);
    EXPECT_EQ(speedPosition("やや速く"), 1);
    EXPECT_EQ(speedPosition("中"), 2);
    EXPECT_EQ(speedPosition("やや遅く"), 3);
    EXPECT_EQ(speedPosition("遅く"), 4);
    EXPECT_EQ(speedPosition("普通"), std::nullopt);
    EXPECT_EQ(speedPosition("中 "), std::nullopt);
}

TEST(MovementWords, StillComesFirst) {
    EXPECT_EQ(movementWords[0], "移動しない");
    EXPECT_EQ(movementWords[1], "左へ");
}

TEST(DisplayNumberTexts, AreOneToSixteenWithALeadingBlank) {
    const std::vector<std::string> texts = displayNumberTexts();
    ASSERT_EQ(texts.size(), 16U);
    EXPECT_EQ(texts.front(), " 1");
    EXPECT_EQ(texts[6], " 7");
    EXPECT_EQ(texts.back(), " 16");
}

} // namespace
} // namespace lm::vocabulary
