#include "LineFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace lm {
namespace {

using Lines = std::vector<std::string>;

struct DecodeCase {
    std::string name;
    std::string bytes;
    Lines lines;
};

class LineFileDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(LineFileDecode, SplitsAtEveryKindOfLineEnd) {
    EXPECT_EQ(lineFile::decode(GetParam().bytes), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LineFileDecode,
    ::testing::Values(DecodeCase{"Empty", "", {}}, DecodeCase{"OneEmptyLine", "\r\n", {""}},
                      DecodeCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                      DecodeCase{"LoneCr", "a\rb\r", {"a", "b"}},
                      DecodeCase{"LoneLf", "a\nb\n", {"a", "b"}},
                      DecodeCase{"NoEndOnLastLine", "a\r\nb", {"a", "b"}},
                      DecodeCase{"EmptyLinesKept", "\r\n\r\nx\r\n", {"", "", "x"}},
                      DecodeCase{"LfCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
                      DecodeCase{"ByteFiveCIsNoSeparator", "\x95\x5C\r\n", {"表"}},
                      DecodeCase{"Japanese", "\x95\xB6\x8E\x9A\r\nABC\r\n", {"文字", "ABC"}}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(LineFileDecode, StopsAfterMaxLines) {
    EXPECT_EQ(lineFile::decode("a\r\nb\r\nc\r\n", 2), (Lines{"a", "b"}));
    EXPECT_EQ(lineFile::decode("a\r\nb\r\nc\r\n", 0), Lines{});
}

TEST(LineFileEncode, EndsEveryLineWithCrLf) {
    std::string bytes;
    ASSERT_EQ(lineFile::encode({"文字", "", "ABC"}, bytes), WriteStatus::Ok);
    EXPECT_EQ(bytes, "\x95\xB6\x8E\x9A\r\n\r\nABC\r\n");
}

TEST(LineFileEncode, RefusesValuesThatCannotTravel) {
    std::string bytes;
    EXPECT_EQ(lineFile::encode({"ok", "two\nlines"}, bytes), WriteStatus::LineBreak);
    EXPECT_EQ(lineFile::encode({"ok", "a\rb"}, bytes), WriteStatus::LineBreak);
    EXPECT_EQ(lineFile::encode({"ok", "café"}, bytes), WriteStatus::NotShiftJis);
}

TEST(CheckValue, NamesTheProblem) {
    EXPECT_EQ(checkValue("お知らせ〜"), ValueProblem::None);
    EXPECT_EQ(checkValue("a\nb"), ValueProblem::LineBreak);
    EXPECT_EQ(checkValue("😀"), ValueProblem::NotShiftJis);
}

class LineFileOnDisk : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path file() const { return dir.path() / "lines.txt"; }
};

TEST_F(LineFileOnDisk, WritesAndReadsBack) {
    ASSERT_EQ(lineFile::write(file(), {"文字", "", "表示"}), WriteStatus::Ok);
    EXPECT_EQ(lineFile::readBytes(file()), "\x95\xB6\x8E\x9A\r\n\r\n\x95\x5C\x8E\xA6\r\n");
    EXPECT_EQ(lineFile::read(file()), (Lines{"文字", "", "表示"}));
    EXPECT_EQ(lineFile::read(file(), 1), (Lines{"文字"}));
}

TEST_F(LineFileOnDisk, ARefusedValueLeavesTheOldFileUntouched) {
    ASSERT_EQ(lineFile::write(file(), {"old"}), WriteStatus::Ok);
    EXPECT_EQ(lineFile::write(file(), {"new", "x\ny"}), WriteStatus::LineBreak);
    EXPECT_EQ(lineFile::read(file()), (Lines{"old"}));
}

TEST_F(LineFileOnDisk, ReportsFilesThatCannotBeWrittenOrRead) {
    const auto missing = dir.path() / "no" / "such" / "file.txt";
    EXPECT_EQ(lineFile::write(missing, {"a"}), WriteStatus::IoError);
    EXPECT_EQ(lineFile::read(missing), std::nullopt);
    EXPECT_EQ(lineFile::read(dir.path()), std::nullopt); // a folder
}

} // namespace
} // namespace lm
