#include "ShowList.h"

#include "TempDir.h"
#include "TestRows.h"

#include <fstream>
#include <gtest/gtest.h>

namespace lm {
namespace {

using test::rowsFromCountAreEmpty;

namespace fs = std::filesystem;

ItemEntry textEntry(const std::string& text) {
    return {text, "移動しない", "白", "黒", "中", ""};
}

ItemTable::Row rowOfKind(const std::string& kind, const std::string& text) {
    return {kind, text, "移動しない", "白", "黒", "中", "", "", "", "", ""};
}

class ShowListTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ExchangeFolder exchange{dir.path()};
    ItemTable table;
    ShowList list{table, exchange};

    void SetUp() override {
        exchange.make();
        fs::create_directory(dir.path() / "pics");
    }
    void write(const fs::path& path, const std::string& bytes) const {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string bytesOf(const fs::path& path) const {
        return lineFile::readBytes(path).value_or("<missing>");
    }
};

TEST_F(ShowListTest, AddingATextGivesItsRowAndLine) {
    const auto result = list.add(textEntry("お知らせ"));
    EXPECT_EQ(result.status, ShowList::AddResult::Status::Added);
    EXPECT_EQ(result.line, "文字を左へ白色で黒色の上に「お知らせ」");
    EXPECT_TRUE(result.warning.empty());
    EXPECT_EQ(table.row(0), (ItemTable::Row{"文字", "お知らせ", "移動しない", "白", "黒", "中", "",
                                            "", "", "", ""}));
    EXPECT_EQ(list.lines(), std::vector<std::string>{*result.line});
    EXPECT_EQ(list.rowOfLine(0), 0);
}

TEST_F(ShowListTest, AddingAPictureCopiesItAndKeepsOnlyItsBareName) {
    write(dir.path() / "pics" / "sun.jpg", "GIF89a sun");
    write(exchange.folder() / "sun.jpg", "an older sun");
    ItemEntry entry = textEntry("");
    entry.movement = "左へ";
    entry.picturePath = (dir.path() / "pics" / "sun.jpg").string();
    const auto result = list.add(entry);
    EXPECT_EQ(result.status, ShowList::AddResult::Status::Added);
    EXPECT_EQ(result.line, "画像を 左へ,黒色の上に「sun.jpg」を表示する。");
    EXPECT_TRUE(result.warning.empty());
    EXPECT_EQ(table.row(0)[ItemTable::kindField], "画像");
    EXPECT_EQ(table.row(0)[ItemTable::pictureField], "sun.jpg");
    EXPECT_EQ(bytesOf(exchange.folder() / "sun.jpg"), "GIF89a sun");
}

TEST_F(ShowListTest, ABareNameOfAPictureAlreadyInTheExchangeFolderIsAddedSilently) {
    write(exchange.folder() / "sun.jpg", "sun");
    ItemEntry entry = textEntry("");
    entry.picturePath = "sun.jpg"; // taken from a picture item selected in the list
    const auto result = list.add(entry);
    EXPECT_EQ(result.status, ShowList::AddResult::Status::Added);
    EXPECT_TRUE(result.warning.empty());
    EXPECT_EQ(bytesOf(exchange.folder() / "sun.jpg"), "sun");
}

TEST_F(ShowListTest, APictureThatCouldNotBeCopiedIsAddedWithAWarning) {
    ItemEntry entry = textEntry("");
    entry.picturePath = (dir.path() / "pics" / "gone.jpg").string();
    const auto result = list.add(entry);
    EXPECT_EQ(result.status, ShowList::AddResult::Status::Added);
    EXPECT_EQ(result.warning, "画像ファイル「gone.jpg」を data フォルダーにコピーできませんでした。"
                              "この項目の画像は表示されません。");
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.row(0)[ItemTable::pictureField], "gone.jpg");
}

struct RefusedCase {
    std::string name;
    ItemEntry entry;
    std::string warning;
};

class ShowListRefusal : public ShowListTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(ShowListRefusal, AValueThatCannotTravelIsNamedAndNothingIsAdded) {
    const auto result = list.add(GetParam().entry);
    EXPECT_EQ(result.status, ShowList::AddResult::Status::Refused);
    EXPECT_EQ(result.warning, GetParam().warning);
    EXPECT_FALSE(result.line);
    EXPECT_EQ(table.count(), 0);
    EXPECT_TRUE(list.lines().empty());
}

const std::string notShiftJis =
    "」に、表示プログラムに送れない文字（シフトJISにない文字）が含まれて"
    "います。";
const std::string lineBreak = "」に改行が含まれています。改行は表示プログラムに送れないため、使え"
                              "ません。";

INSTANTIATE_TEST_SUITE_P(
    Fields, ShowListRefusal,
    ::testing::Values(
        RefusedCase{"TextWithALineBreak", textEntry("one\r\ntwo"), "「表示させる文字" + lineBreak},
        RefusedCase{"TextWithAnEmoji", textEntry("晴れ☀️"), "「表示させる文字" + notShiftJis},
        RefusedCase{
            "TextColour", {"a", "移動しない", "白\n", "黒", "中", ""}, "「文字の色" + lineBreak},
        RefusedCase{
            "BackColour", {"a", "移動しない", "白", "黒ü", "中", ""}, "「バックの色" + notShiftJis},
        RefusedCase{
            "Speed", {"a", "移動しない", "白", "黒", "中\t\n", ""}, "「表示の速さ" + lineBreak},
        RefusedCase{"Movement", {"a", "左へ€", "白", "黒", "中", ""}, "「画像の移動" + notShiftJis},
        RefusedCase{"PictureName",
                    {"", "左へ", "白", "黒", "中", "/pics/café.jpg"},
                    "「表示させる画像" + notShiftJis}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(ShowListTest, AFileThatIsNoPictureIsRefusedAndNotCopied) {
    write(dir.path() / "pics" / "secret.key", "key");
    ItemEntry entry = textEntry("");
    entry.picturePath = (dir.path() / "pics" / "secret.key").string();
    const auto result = list.add(entry);
    EXPECT_EQ(result.status, ShowList::AddResult::Status::Refused);
    EXPECT_NE(result.warning.find("secret.key」は画像"), std::string::npos) << result.warning;
    EXPECT_EQ(table.count(), 0);
    EXPECT_FALSE(fs::exists(exchange.folder() / "secret.key"));
}

TEST_F(ShowListTest, APictureInAFolderWithAnyNameCanBeAdded) {
    fs::create_directory(dir.path() / "pics" / "été");
    write(dir.path() / "pics" / "été" / "sun.jpg", "GIF89a sun");
    ItemEntry entry = textEntry("");
    entry.picturePath = (dir.path() / "pics" / "été" / "sun.jpg").string();
    EXPECT_EQ(list.add(entry).status, ShowList::AddResult::Status::Added);
}

TEST_F(ShowListTest, HoldsAtMost101ItemsAndTheNextAddChangesNothing) {
    for (int i = 0; i < 101; ++i) {
        ASSERT_EQ(list.add(textEntry(std::to_string(i))).status,
                  ShowList::AddResult::Status::Added);
    }
    const auto result = list.add(textEntry("one too many"));
    EXPECT_EQ(result.status, ShowList::AddResult::Status::Full);
    EXPECT_TRUE(result.warning.empty());
    EXPECT_EQ(table.count(), 101);
    EXPECT_EQ(list.lines().size(), 101U);
}

class ShowListRemoveFromFull : public ShowListTest, public ::testing::WithParamInterface<int> {};

TEST_P(ShowListRemoveFromFull, LeavesRow100EmptyAndTheLinesInStep) {
    for (int i = 0; i < 101; ++i) {
        list.add(textEntry(std::to_string(i)));
    }
    ASSERT_TRUE(list.removeLine(GetParam()));
    EXPECT_EQ(table.count(), 100);
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
    ASSERT_EQ(list.lines().size(), 100U);
    for (int line = 0; line < 100; ++line) {
        const int row = list.rowOfLine(line);
        EXPECT_EQ(row, line);
        EXPECT_EQ(list.lines()[static_cast<std::size_t>(line)],
                  "文字を左へ白色で黒色の上に「" + table.row(row)[ItemTable::textField] + "」");
    }
}

INSTANTIATE_TEST_SUITE_P(AnyLine, ShowListRemoveFromFull, ::testing::Values(0, 37, 99, 100));

TEST_F(ShowListTest, ClearThenAddLeavesOneLineAndEveryOtherRowEmpty) {
    for (int i = 0; i < 8; ++i) {
        list.add(textEntry(std::to_string(i)));
    }
    list.clear();
    EXPECT_TRUE(list.lines().empty());
    list.add(textEntry("new"));
    EXPECT_EQ(list.lines().size(), 1U);
    EXPECT_EQ(table.count(), 1);
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
}

TEST_F(ShowListTest, RowsOfAnUnknownKindHaveNoLineAndEveryLineActsOnItsOwnItem) {
    list.appendRow(rowOfKind("文字", "first"));
    list.appendRow(rowOfKind("終了", "odd"));
    list.appendRow(rowOfKind("文字", "second"));
    list.appendRow(rowOfKind("?", "odder"));
    list.appendRow(rowOfKind("文字", "third"));
    EXPECT_EQ(table.count(), 5);
    ASSERT_EQ(list.lines().size(), 3U);
    EXPECT_EQ(list.rowOfLine(0), 0);
    EXPECT_EQ(list.rowOfLine(1), 2);
    EXPECT_EQ(list.rowOfLine(2), 4);
    EXPECT_EQ(list.rowOfLine(3), -1);
    EXPECT_EQ(list.rowOfLine(-1), -1);

    // Deleting line 1 deletes "second", not the unknown row that sits at row 1.
    ASSERT_TRUE(list.removeLine(1));
    EXPECT_EQ(table.count(), 4);
    EXPECT_EQ(table.row(1)[ItemTable::textField], "odd");
    EXPECT_EQ(list.rowOfLine(1), 3);
    EXPECT_EQ(table.row(list.rowOfLine(1))[ItemTable::textField], "third");
    EXPECT_EQ(list.lines()[1], "文字を左へ白色で黒色の上に「third」");
    EXPECT_FALSE(list.removeLine(2));
    EXPECT_EQ(table.count(), 4);
}

TEST_F(ShowListTest, ALineIsMadeForEveryKnownItemAlreadyInTheTable) {
    ItemTable filled;
    filled.append(rowOfKind("画像", ""));
    filled.append(rowOfKind("x", ""));
    filled.append(rowOfKind("文字", "t"));
    ShowList fromTable(filled, exchange);
    EXPECT_EQ(fromTable.lines().size(), 2U);
    EXPECT_EQ(fromTable.rowOfLine(1), 2);
}

} // namespace
} // namespace lm
