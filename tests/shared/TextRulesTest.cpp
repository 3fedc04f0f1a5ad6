#include "TextRules.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

TEST(CharacterCount, CountsCharactersNotBytes) {
    EXPECT_EQ(characterCount(""), 0U);
    EXPECT_EQ(characterCount("ABC"), 3U);
    EXPECT_EQ(characterCount("お知らせ"), 4U);
    EXPECT_EQ(characterCount("a表b"), 3U);
    EXPECT_EQ(characterCount("😀"), 1U);
}

TEST(CharacterCount, CountsEachBrokenByteAsOneCharacter) {
    EXPECT_EQ(characterCount("\xE6\x96"), 2U);
    EXPECT_EQ(characterCount("\xFF"), 1U);
}

TEST(Utf32, RoundTripsEveryPlane) {
    const std::string text = "aé表😀";
    EXPECT_EQ(toUtf32(text), U"aé表😀");
    EXPECT_EQ(toUtf8(toUtf32(text)), text);
}

struct BareNameCase {
    std::string path;
    std::string name;
};

class BareName : public ::testing::TestWithParam<BareNameCase> {};

TEST_P(BareName, IsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(bareName(GetParam().path), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Paths, BareName,
                         ::testing::Values(BareNameCase{"C:\\pic\\sample.jpg", "sample.jpg"},
                                           BareNameCase{"/home/op/pic/sample.jpg", "sample.jpg"},
                                           BareNameCase{"sample.jpg", "sample.jpg"},
                                           BareNameCase{"C:\\mixed/dir\\表.jpg", "表.jpg"},
                                           BareNameCase{"dir/", ""}, BareNameCase{"", ""},
                                           BareNameCase{"\\\\server\\share\\a.gif", "a.gif"}));

TEST(HasLineBreak, FindsCrAndLf) {
    EXPECT_FALSE(hasLineBreak("お知らせ"));
    EXPECT_TRUE(hasLineBreak("a\nb"));
    EXPECT_TRUE(hasLineBreak("a\rb"));
    EXPECT_TRUE(hasLineBreak("a\r\n"));
}

} // namespace
} // namespace lm
