// Show files on the operator's desk: "読み込み" and "保存" with the chooser's answers, and a show
// file by its path.

#include "OperatorDesk.h"
#include "ShowFile.h"
#include "TempDir.h"
#include "TestRows.h"
#include "VirtualClock.h"

#include <fstream>
#include <gtest/gtest.h>

namespace lm {
namespace {

using test::rowsFromCountAreEmpty;
using test::textRow;

namespace fs = std::filesystem;

class DeskShowFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::VirtualClock clock;
    OperatorDesk desk{{dir.path(), {}, nullptr}};
    const ItemTable& table = desk.table();
    const ShowList& list = desk.list();
    ChooserVariables vars;
    const fs::path shows = dir.path() / "shows";

    void SetUp() override {
        desk.open();
        fs::create_directory(shows);
        for (Timer* timer : desk.timers()) {
            clock.attach(*timer);
        }
    }

    void fillList(int count) {
        for (int i = 0; i < count; ++i) {
            addRow(textRow("old" + std::to_string(i)));
        }
    }
    // A row as it stands, through a show file: the entry controls cannot make every row.
    void addRow(const ItemTable::Row& row) {
        ItemTable rows = table;
        rows.append(row);
        ASSERT_EQ(showFile::write(dir.path() / "rows.txt", rows), WriteStatus::Ok);
        ASSERT_TRUE(desk.load(dir.path() / "rows.txt").done());
    }
    void writeShow(const std::string& name, int items) const {
        ItemTable file;
        for (int i = 0; i < items; ++i) {
            file.append(textRow("new" + std::to_string(i)));
        }
        ASSERT_EQ(showFile::write(shows / name, file), WriteStatus::Ok);
    }
    // The chooser's answer to "読み込み" or "保存", as the window takes it.
    DeskOutcome load(const std::string& name, const std::string& result = "OK") {
        desk.stopBeforeChooser();
        vars = {"データ読み込み", result, "", shows.string(), name};
        return desk.loadChosen(vars);
    }
    DeskOutcome save(const std::string& name, const std::string& result = "OK",
                     const fs::path& folder = {}) {
        desk.stopBeforeChooser();
        vars = {"データ保存", result, "", folder.empty() ? shows.string() : folder.string(), name};
        return desk.saveChosen(vars);
    }
    std::string bytesOf(const fs::path& path) const {
        return lineFile::readBytes(path).value_or("<missing>");
    }
};

TEST_F(DeskShowFileTest, LoadReplacesTheListAndLeavesLaterRowsEmpty) {
    fillList(8);
    writeShow("three.txt", 3);
    const DeskOutcome loaded = load("three.txt");
    EXPECT_TRUE(loaded.done());
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(table.row(2)[ItemTable::textField], "new2");
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
    ASSERT_EQ(list.lines().size(), 3U);
    EXPECT_EQ(list.lines()[0], "文字を左へ白色で黒色の上に「new0」");
    EXPECT_TRUE(loaded.messages.empty());
}

TEST_F(DeskShowFileTest, LoadingAnEmptyFileEmptiesTheList) {
    fillList(4);
    lineFile::writeBytes(shows / "empty.txt", "");
    EXPECT_TRUE(load("empty.txt").done());
    EXPECT_EQ(table.count(), 0);
    EXPECT_TRUE(list.lines().empty());
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
}

TEST_F(DeskShowFileTest, LoadUsesTheNameAsTyped) {
    writeShow("show", 1);
    writeShow("show.txt", 2);
    EXPECT_TRUE(load("show").done());
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(vars.SName, "show");
}

TEST_F(DeskShowFileTest, ItemsOfAnUnknownKindCountWithoutALine) {
    ItemTable file;
    file.append(textRow("a"));
    file.append({"終了", "", "", "", "", "", "", "", "", "", ""});
    file.append(textRow("b"));
    ASSERT_EQ(showFile::write(shows / "odd.txt", file), WriteStatus::Ok);
    EXPECT_TRUE(load("odd.txt").done());
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(list.lines().size(), 2U);
    EXPECT_EQ(list.rowOfLine(1), 2);
}

TEST_F(DeskShowFileTest, AFileThatCannotBeReadKeepsTheOldListAndIsReported) {
    fillList(5);
    const DeskOutcome refused = load("missing.txt");
    EXPECT_EQ(refused.code, DeskOutcome::Code::Unreadable);
    EXPECT_EQ(table.count(), 5);
    EXPECT_EQ(list.lines().size(), 5U);
    EXPECT_EQ(
        refused.messages,
        (std::vector<DeskMessage>{{"ファイル「" + (shows / "missing.txt").string() +
                                       "」を読み込めませんでした。表示のリストは変わっていません。",
                                   "注意！！"}}));
}

TEST_F(DeskShowFileTest, MoreThan101ItemsLoadsTheFirst101AndSaysSo) {
    writeShow("big.txt", 101);
    std::string bytes = bytesOf(shows / "big.txt");
    bytes += bytes.substr(0, 2 * 45); // two more items like the first
    lineFile::writeBytes(shows / "big.txt", bytes);
    const DeskOutcome loaded = load("big.txt");
    EXPECT_TRUE(loaded.done());
    EXPECT_EQ(table.count(), 101);
    EXPECT_EQ(table.row(100)[ItemTable::textField], "new100");
    ASSERT_EQ(loaded.messages.size(), 1U);
    EXPECT_EQ(loaded.messages[0].text,
              "ファイル「" + (shows / "big.txt").string() +
                  "」には101項目を超える表示があります。最初の101項目だけを"
                  "読み込み、残りは読み込んでいません。");
}

TEST_F(DeskShowFileTest, SaveAppliesTheExtensionRuleAndStoresTheName) {
    fillList(2);
    EXPECT_TRUE(save("show.dat").done());
    EXPECT_EQ(vars.SName, "show.txt");
    EXPECT_FALSE(fs::exists(shows / "show.dat"));
    // Each item is 46 bytes: "old0" is one byte longer than the "ABC" of a 45-byte item.
    EXPECT_EQ(bytesOf(shows / "show.txt").size(), 2U * 46U);
}

TEST_F(DeskShowFileTest, SavedListLoadsBackUnchanged) {
    addRow({"文字", "A", "左へ", "白", "黒", "中", "", "7", "8", "9", "10"});
    addRow({"画像", "", "移動しない", "白", "暗い赤", "遅く", "sun.jpg", "", "", "", ""});
    ASSERT_TRUE(save("round").done());
    const ItemTable saved = table;
    ASSERT_TRUE(desk.clear().done());
    ASSERT_TRUE(load("round.txt").done());
    ASSERT_EQ(table.count(), 2);
    for (int r = 0; r < ItemTable::rowCount; ++r) {
        EXPECT_EQ(table.row(r), saved.row(r)) << r;
    }
}

TEST_F(DeskShowFileTest, SavingAnEmptyListEmptiesTheFile) {
    lineFile::writeBytes(shows / "show.txt", "old");
    EXPECT_TRUE(save("show.txt").done());
    EXPECT_EQ(bytesOf(shows / "show.txt"), "");
}

TEST_F(DeskShowFileTest, AFailedSaveKeepsTheOldFileAndIsReported) {
    lineFile::writeBytes(shows / "show.txt", "old");
    fillList(1);
    // A byte that is no character of code page 932 comes in as U+FFFD, which no file can hold.
    std::string bytes = bytesOf(dir.path() / "rows.txt");
    bytes += bytes;
    bytes.replace(bytes.rfind("old0"), 4, "bad\xFD");
    lineFile::writeBytes(dir.path() / "rows.txt", bytes);
    ASSERT_TRUE(desk.load(dir.path() / "rows.txt").done());
    DeskOutcome refused = save("show.txt");
    EXPECT_EQ(refused.code, DeskOutcome::Code::BadValue);
    EXPECT_EQ(bytesOf(shows / "show.txt"), "old");
    ASSERT_EQ(refused.messages.size(), 1U);
    EXPECT_EQ(refused.messages[0].text,
              "2番目の項目：「表示させる文字」に、表示プログラムに送れない文字（シフトJISにない文字"
              "）が含まれています。ファイル「" +
                  (shows / "show.txt").string() + "」には保存していません。");
    EXPECT_EQ(refused.messages[0].title, "注意！！");

    ASSERT_TRUE(desk.remove(1).done());
    refused = save("show.txt", "OK", shows / "nowhere");
    EXPECT_EQ(refused.code, DeskOutcome::Code::Unwritable);
    ASSERT_EQ(refused.messages.size(), 1U);
    EXPECT_EQ(refused.messages[0].text,
              "ファイル「" + (shows / "nowhere" / "show.txt").string() +
                  "」に保存できませんでした。フォルダーと名前を確かめて下さ"
                  "い。前からあるファイルは変わっていません。");
}

class DeskShowFileBothCommands : public DeskShowFileTest,
                                 public ::testing::WithParamInterface<bool> {
protected:
    DeskOutcome run(const std::string& name, const std::string& result = "OK") {
        return GetParam() ? load(name, result) : save(name, result);
    }
};

TEST_P(DeskShowFileBothCommands, StopARunningShowEvenWhenTheChooserIsCancelled) {
    fillList(3);
    ASSERT_TRUE(desk.start().done());
    clock.advance(10'000);
    ASSERT_TRUE(desk.chain().timer(1).isActive());
    const DeskOutcome cancelled = run("x.txt", "Cancel");
    EXPECT_EQ(cancelled.code, DeskOutcome::Code::Cancelled);
    EXPECT_TRUE(cancelled.messages.empty());
    EXPECT_FALSE(desk.chain().isShowRunning());
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(lineFile::readBytes(desk.exchange().jobPath(1)).value_or("").substr(0, 2), "-1");
    EXPECT_FALSE(fs::exists(shows / "x.txt"));
}

TEST_P(DeskShowFileBothCommands, AnEmptyNameIsWarnedAboutAndChangesNothing) {
    fillList(2);
    const DeskOutcome refused = run("");
    EXPECT_EQ(refused.code, DeskOutcome::Code::NoName);
    EXPECT_EQ(refused.messages,
              (std::vector<DeskMessage>{{"ファイル名を正しく入力して下さい", "注意！！"}}));
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(list.lines().size(), 2U);
    EXPECT_TRUE(fs::is_empty(shows));
}

INSTANTIATE_TEST_SUITE_P(LoadAndSave, DeskShowFileBothCommands, ::testing::Bool(),
                         [](const auto& testCase) { return testCase.param ? "Load" : "Save"; });

} // namespace
} // namespace lm
