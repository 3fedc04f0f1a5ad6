#include "ShowFile.h"

#include "TempDir.h"
#include "TestRows.h"

#include <fstream>
#include <gtest/gtest.h>

namespace lm {
namespace {

using test::textRow;

namespace fs = std::filesystem;

std::string linesOf(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        bytes += "v" + std::to_string(i) + "\r\n";
    }
    return bytes;
}

class ShowFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ItemTable table;

    std::string bytesOf(const fs::path& path) const {
        return lineFile::readBytes(path).value_or("<missing>");
    }
    std::size_t filesIn(const fs::path& folder) const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
};

TEST_F(ShowFileTest, OneTextItemIs45BytesOfShiftJisLines) {
    table.append(textRow("ABC"));
    const fs::path path = dir.path() / "one.txt";
    ASSERT_EQ(showFile::write(path, table), WriteStatus::Ok);
    const std::string bytes = bytesOf(path);
    EXPECT_EQ(bytes.size(), 45U);
    EXPECT_EQ(bytes.substr(0, 6), "\x95\xB6\x8E\x9A\r\n");
    EXPECT_EQ(bytes.substr(6, 5), "ABC\r\n");
    EXPECT_EQ(bytes.substr(35), "\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(ShowFileTest, SaveAndLoadReproduceEveryFieldOfEveryItem) {
    table.append({"文字", "お知らせ　です", "左へ", "明るい黄色", "暗い青", "やや速く", "", "seven",
                  "", "nine", "十"});
    table.append(
        {"画像", "", "移動しない", "白", "黒", "遅く", "C:\\pics\\sun.jpg", "", "", "", ""});
    table.append({"", "", "", "", "", "", "", "", "", "", ""});
    table.append({"謎", " lead and trail ", "x", "y", "z", "w", "v", "u", "t", "s", "r"});
    const fs::path path = dir.path() / "round.txt";
    ASSERT_EQ(showFile::write(path, table), WriteStatus::Ok);
    const auto contents = showFile::read(path);
    ASSERT_TRUE(contents);
    EXPECT_FALSE(contents->tooMany);
    ASSERT_EQ(contents->items.size(), 4U);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(contents->items[static_cast<std::size_t>(r)], table.row(r)) << r;
    }
}

TEST_F(ShowFileTest, AnEmptyListIsSavedAsAnEmptyFileOverAnOldOne) {
    const fs::path path = dir.path() / "old.txt";
    std::ofstream(path) << "old contents";
    ASSERT_EQ(showFile::write(path, table), WriteStatus::Ok);
    EXPECT_EQ(bytesOf(path), "");
    EXPECT_EQ(filesIn(dir.path()), 1U);
}

struct ParseCase {
    std::string name;
    std::string bytes;
    std::size_t items;
    bool tooMany;
};

class ShowFileParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ShowFileParse, KeepsTheCompleteItems) {
    const showFile::Contents contents = showFile::parse(GetParam().bytes);
    EXPECT_EQ(contents.items.size(), GetParam().items);
    EXPECT_EQ(contents.tooMany, GetParam().tooMany);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ShowFileParse,
    ::testing::Values(ParseCase{"Empty", "", 0, false},
                      ParseCase{"TenLines", linesOf(10), 0, false},
                      ParseCase{"ElevenLines", linesOf(11), 1, false},
                      ParseCase{"TwentyThreeLines", linesOf(23), 2, false},
                      ParseCase{"LastLineWithoutLineEnd", linesOf(10) + "last", 1, false},
                      ParseCase{"Full", linesOf(101 * 11), 101, false},
                      ParseCase{"FullAndAPart", linesOf(101 * 11 + 10), 101, false},
                      ParseCase{"OneTooMany", linesOf(102 * 11), 101, true},
                      ParseCase{"ManyTooMany", linesOf(500 * 11 + 3), 101, true}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(ShowFileParseValues, LoneLineFeedsAndUndecodableBytesAreRead) {
    const std::string bytes = "\x95\xB6\x8E\x9A\n\x82\n\n\n\n\n\n\n\n\n\xFF\xFE\r\n";
    const showFile::Contents contents = showFile::parse(bytes);
    ASSERT_EQ(contents.items.size(), 1U);
    const ItemTable::Row& row = contents.items[0];
    EXPECT_EQ(row[0], "文字");
    EXPECT_NE(row[1].find("\xEF\xBF\xBD"),
              std::string::npos); // U+FFFD in place of the lone lead byte
    EXPECT_EQ(row[2], "");
    EXPECT_FALSE(row[10].empty());
}

TEST_F(ShowFileTest, TheItemsOfA23LineFileAreTheFirstTwo) {
    const fs::path path = dir.path() / "23.txt";
    lineFile::writeBytes(path, linesOf(23));
    const auto contents = showFile::read(path);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->items.size(), 2U);
    EXPECT_EQ(contents->items[1][0], "v11");
    EXPECT_EQ(contents->items[1][10], "v21");
}

TEST_F(ShowFileTest, AFileThatCannotBeReadGivesNothing) {
    EXPECT_FALSE(showFile::read(dir.path() / "missing.txt"));
    EXPECT_FALSE(showFile::read(dir.path()));
}

TEST_F(ShowFileTest, AValueThatCannotBeStoredLeavesTheOldFileAsItWas) {
    const fs::path path = dir.path() / "keep.txt";
    std::ofstream(path) << "old contents";
    table.append(textRow("ok"));
    table.append(textRow("a\xEF\xBF\xBD")); // U+FFFD from a damaged file
    EXPECT_EQ(showFile::write(path, table), WriteStatus::NotShiftJis);
    table.setField(1, ItemTable::textField, "two\nlines");
    EXPECT_EQ(showFile::write(path, table), WriteStatus::LineBreak);
    EXPECT_EQ(bytesOf(path), "old contents");
    EXPECT_EQ(filesIn(dir.path()), 1U);
}

TEST_F(ShowFileTest, ASaveThatCannotBeCompletedLeavesNoTraceAndTheOldFileIntact) {
    table.append(textRow("new"));
    EXPECT_EQ(showFile::write(dir.path() / "missing" / "x.txt", table), WriteStatus::IoError);
    // A folder where the file should go cannot be replaced by a file.
    fs::create_directory(dir.path() / "taken.txt");
    std::ofstream(dir.path() / "taken.txt" / "inside") << "kept";
    EXPECT_EQ(showFile::write(dir.path() / "taken.txt", table), WriteStatus::IoError);
    EXPECT_EQ(bytesOf(dir.path() / "taken.txt" / "inside"), "kept");
    EXPECT_EQ(filesIn(dir.path()), 1U);
}

struct NameCase {
    std::string typed;
    std::string saved;
};

class ShowFileSaveName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ShowFileSaveName, FollowsTheExtensionRule) {
    EXPECT_EQ(showFile::saveName(GetParam().typed), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShowFileSaveName,
    ::testing::Values(NameCase{"show", "show.txt"}, NameCase{"abc", "abc.txt"},
                      NameCase{"show.TXT", "show.TXT"}, NameCase{"my.show.txt", "my.show.txt"},
                      NameCase{"show.dat", "show.txt"}, NameCase{"a.b.c", "a.txt"},
                      NameCase{"a.b", "a.b"}, NameCase{".txt", ".txt"},
                      NameCase{"show.Txt", "show.Txt"}, NameCase{"x.txt2", "x.txt"},
                      NameCase{"show.", "show.txt"}, NameCase{"abcd", "abcd.txt"},
                      // Characters, not bytes: "あ.い" is three characters.
                      NameCase{"あ.い", "あ.い"}, NameCase{"あいう", "あいう.txt"},
                      NameCase{"予定表.データ", "予定表.txt"},
                      NameCase{"お知らせ.TXT", "お知らせ.TXT"},
                      // A full-width dot is no dot.
                      NameCase{"ａ．ｔｘｔ", "ａ．ｔｘｔ.txt"}));

TEST(ShowFileJoin, JoinsWithOneSeparatorAlsoAtTheRoot) {
    EXPECT_EQ(showFile::join("/home/op", "show.txt"), fs::path("/home/op/show.txt"));
    EXPECT_EQ(showFile::join("/", "show.txt"), fs::path("/show.txt"));
    EXPECT_EQ(showFile::join("/media/usb/", "show.txt"), fs::path("/media/usb/show.txt"));
}

} // namespace
} // namespace lm
