#include "DescriptionLine.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

struct LineCase {
    std::string name;
    ItemTable::Row row;
    std::optional<std::string> line;
};

class DescriptionLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(DescriptionLineTest, IsThePiecesOfTheItemByteForByte) {
    EXPECT_EQ(descriptionLine(GetParam().row), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Items, DescriptionLineTest,
    ::testing::Values(
        LineCase{"Text",
                 {"文字", "お知らせ", "移動しない", "白", "黒", "中", "", "", "", "", ""},
                 "文字を左へ白色で黒色の上に「お知らせ」"},
        LineCase{"EmptyText",
                 {"文字", "", "移動しない", "白", "黒", "中", "", "", "", "", ""},
                 "文字を左へ白色で黒色の上に「」"},
        LineCase{"TextWithOtherColoursAndMovementLeft",
                 {"文字", "ABC", "左へ", "明るい黄色", "暗い青", "遅く", "", "", "", "", ""},
                 "文字を左へ明るい黄色色で暗い青色の上に「ABC」"},
        LineCase{"MovingPicture",
                 {"画像", "", "左へ", "白", "黒", "中", "sample.jpg", "", "", "", ""},
                 "画像を 左へ,黒色の上に「sample.jpg」を表示する。"},
        LineCase{"StillPicture",
                 {"画像", "", "移動しない", "白", "黒", "中", "sample.jpg", "", "", "", ""},
                 "画像を 移動しない,黒色の上に「sample.jpg」を表示する。"},
        LineCase{"PictureWithTextAndAWindowsPath",
                 {"画像", "T", "左へ", "白", "暗い緑", "中", "C:\\pics\\a b.gif", "", "", "", ""},
                 "画像を T左へ,暗い緑色の上に「a b.gif」を表示する。"},
        LineCase{"PicturePathWithSlashes",
                 {"画像", "", "左へ", "白", "黒", "中", "/home/op/pics/sun.bmp", "", "", "", ""},
                 "画像を 左へ,黒色の上に「sun.bmp」を表示する。"},
        LineCase{"PictureNameWithoutSeparator",
                 {"画像", "", "左へ", "白", "黒", "中", "sun.bmp", "", "", "", ""},
                 "画像を 左へ,黒色の上に「sun.bmp」を表示する。"},
        LineCase{"UnknownKind",
                 {"終了", "x", "左へ", "白", "黒", "中", "", "", "", "", ""},
                 std::nullopt},
        LineCase{"KindWithABlank",
                 {"文字 ", "x", "", "白", "黒", "中", "", "", "", "", ""},
                 std::nullopt}),
    [](const auto& testCase) { return testCase.param.name; });

} // namespace
} // namespace lm
