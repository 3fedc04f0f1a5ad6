#include "ShiftJis.h"

#include <cerrno>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <string_view>

namespace {
// The C library of a computer without the CP932 module, when the test asks for it.
bool refuseCp932 = false;
} // namespace

extern "C" iconv_t iconv_open(const char* to, const char* from) {
    using Open = iconv_t (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "iconv_open"));
    if (refuseCp932 && (std::string_view(to) == "CP932" || std::string_view(from) == "CP932")) {
        errno = EINVAL;
        return reinterpret_cast<iconv_t>(-1);
    }
    return real(to, from);
}

namespace lm {
namespace {

struct EncodeCase {
    std::string text;
    std::string bytes;
};

class ShiftJisEncode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(ShiftJisEncode, GivesCodePage932Bytes) {
    EXPECT_EQ(ShiftJis::encode(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShiftJisEncode,
    ::testing::Values(EncodeCase{"文字", "\x95\xB6\x8E\x9A"}, EncodeCase{"ABC", "ABC"},
                      EncodeCase{"表", "\x95\x5C"}, EncodeCase{"\\", "\x5C"},
                      EncodeCase{"①", "\x87\x40"}, EncodeCase{"〜", "\x81\x60"},
                      EncodeCase{"～", "\x81\x60"}, EncodeCase{"−", "\x81\x7C"},
                      EncodeCase{"ｺﾝﾋﾟｭｰﾀ", "\xBA\xDD\xCB\xDF\xAD\xB0\xC0"},
                      EncodeCase{"　　", "\x81\x40\x81\x40"}, EncodeCase{"", ""}));

TEST(ShiftJisConverters, TheStartCheckNamesEachMissingConversion) {
    EXPECT_EQ(ShiftJis::missingConverters(), "");
    refuseCp932 = true;
    EXPECT_EQ(ShiftJis::missingConverters(), "UTF-8 → CP932, CP932 → UTF-8");
    refuseCp932 = false;
}

TEST(ShiftJisEncode, RefusesCharactersThatWouldNotComeBackUnchanged) {
    EXPECT_EQ(ShiftJis::encode("café"), std::nullopt);
    EXPECT_EQ(ShiftJis::encode("😀"), std::nullopt);
    EXPECT_EQ(ShiftJis::encode("¥100"), std::nullopt); // would read back as "\100"
    EXPECT_EQ(ShiftJis::encode("한국어"), std::nullopt);
    EXPECT_EQ(ShiftJis::encode("\xFF\xFE"), std::nullopt); // not UTF-8 at all
}

TEST(ShiftJisDecode, ReadsCodePage932) {
    EXPECT_EQ(ShiftJis::decode("\x95\xB6\x8E\x9A"), "文字");
    EXPECT_EQ(ShiftJis::decode("\x95\x5C\x5C"), "表\\");
    EXPECT_EQ(ShiftJis::decode("\x87\x40"), "①");
}

TEST(ShiftJisDecode, TurnsBytesThatDoNotDecodeIntoReplacementCharacters) {
    EXPECT_EQ(ShiftJis::decode("A\x80"
                               "B"),
              "A\uFFFD"
              "B");
    EXPECT_EQ(ShiftJis::decode("\x95"), "\uFFFD"); // first byte of a pair, cut off
    EXPECT_EQ(ShiftJis::decode(std::string("\0", 1)), std::string("\0", 1));
}

TEST(ShiftJis, RoundTripsEveryEncodableText) {
    const std::string text = "お知らせ：本日は①番窓口〜１７時まで。表示ＡＢＣ";
    const auto bytes = ShiftJis::encode(text);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(ShiftJis::decode(*bytes), "お知らせ：本日は①番窓口～１７時まで。表示ＡＢＣ");
}

} // namespace
} // namespace lm
