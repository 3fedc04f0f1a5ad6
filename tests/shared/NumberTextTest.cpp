#include "NumberText.h"

#include <gtest/gtest.h>
#include <limits>

namespace lm {
namespace {

struct ValueCase {
    std::string text;
    double value;
};

class NumericValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(NumericValue, ReadsTheLeadingNumberIgnoringBlanks) {
    EXPECT_DOUBLE_EQ(numericValue(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumericValue,
    ::testing::Values(ValueCase{"3.5", 3.5}, ValueCase{" 7 ", 7}, ValueCase{"1 2", 12},
                      ValueCase{"abc", 0}, ValueCase{"-1", -1}, ValueCase{"12abc", 12},
                      ValueCase{"", 0}, ValueCase{" 16", 16}, ValueCase{"16", 16},
                      ValueCase{" 0 ", 0}, ValueCase{" 12 ", 12}, ValueCase{"- 1", -1},
                      ValueCase{"+4", 4}, ValueCase{".5", 0.5}, ValueCase{"5.", 5},
                      ValueCase{"-", 0}, ValueCase{".", 0}, ValueCase{"1.2.3", 1.2},
                      ValueCase{"\t8\t", 8}, ValueCase{"１", 0}, ValueCase{"7,次へ", 7}));

TEST(NumericValue, ManyDigitsGiveAHugeValueInsteadOfFailing) {
    EXPECT_EQ(numericValue(std::string(400, '9')), std::numeric_limits<double>::infinity());
}

struct RoundCase {
    double value;
    double rounded;
};

class RoundHalfEven : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfEven, RoundsHalvesToEven) {
    EXPECT_EQ(roundHalfEven(GetParam().value), GetParam().rounded) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, RoundHalfEven,
                         ::testing::Values(RoundCase{3.5, 4}, RoundCase{2.5, 2}, RoundCase{0.5, 0},
                                           RoundCase{1.5, 2}, RoundCase{-2.5, -2},
                                           RoundCase{-3.5, -4}, RoundCase{2.4, 2},
                                           RoundCase{2.6, 3}, RoundCase{-0.4, 0}, RoundCase{7, 7}));

TEST(ToInt16, RefusesValuesOutsideTheSixteenBitRange) {
    EXPECT_EQ(toInt16(32767), std::optional<std::int16_t>(32767));
    EXPECT_EQ(toInt16(-32768), std::optional<std::int16_t>(-32768));
    EXPECT_EQ(toInt16(32767.4), std::optional<std::int16_t>(32767));
    EXPECT_EQ(toInt16(32767.5), std::nullopt);
    EXPECT_EQ(toInt16(32768), std::nullopt);
    EXPECT_EQ(toInt16(-32769), std::nullopt);
    EXPECT_EQ(toInt16(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(toInt16(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
}

TEST(NumberText, PutsABlankInTheSignPosition) {
    EXPECT_EQ(numberText(7), " 7");
    EXPECT_EQ(numberText(0), " 0");
    EXPECT_EQ(numberText(16), " 16");
    EXPECT_EQ(numberText(-3), "-3");
    EXPECT_EQ(numberText(std::numeric_limits<long long>::min()), "-9223372036854775808");
}

} // namespace
} // namespace lm
