#include "ShowFileCommands.h"

#include "FakeFileChooser.h"
#include "FakeMessageBoxes.h"
#include "FakeRunView.h"
#include "RunController.h"
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

class ShowFileCommandsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ItemTable table;
    test::FakeRunView view;
    test::FakeMessageBoxes boxes;
    test::FakeFileChooser chooser;
    test::VirtualClock clock;
    RunController controller{table, dir.path(), view, boxes};
    ShowList list{table, controller.exchange()};
    ChooserVariables vars;
    int stops = 0;
    ShowFileCommands commands{list,
                              [this] {
                                  ++stops;
                                  controller.cmdStop_Click();
                              },
                              chooser, vars, boxes};
    const fs::path shows = dir.path() / "shows";

    void SetUp() override {
        controller.exchange().make();
        fs::create_directory(shows);
        for (int n = 0; n < RunController::timerCount; ++n) {
            clock.attach(controller.timer(n));
        }
    }

    void fillList(int count) {
        for (int i = 0; i < count; ++i) {
            list.appendRow(textRow("old" + std::to_string(i)));
        }
    }
    void writeShow(const std::string& name, int items) const {
        ItemTable file;
        for (int i = 0; i < items; ++i) {
            file.append(textRow("new" + std::to_string(i)));
        }
        ASSERT_EQ(showFile::write(shows / name, file), WriteStatus::Ok);
    }
    void answer(const std::string& name) {
        chooser.answers.push_back({"OK", shows.string(), name});
    }
    std::string bytesOf(const fs::path& path) const {
        return lineFile::readBytes(path).value_or("<missing>");
    }
};

TEST_F(ShowFileCommandsTest, LoadReplacesTheListAndLeavesLaterRowsEmpty) {
    fillList(8);
    writeShow("three.txt", 3);
    answer("three.txt");
    EXPECT_TRUE(commands.mnuFileLoad_Click());
    EXPECT_EQ(chooser.modes, std::vector<std::string>{"データ読み込み"});
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(table.row(2)[ItemTable::textField], "new2");
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
    ASSERT_EQ(list.lines().size(), 3U);
    EXPECT_EQ(list.lines()[0], "文字を左へ白色で黒色の上に「new0」");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ShowFileCommandsTest, LoadingAnEmptyFileEmptiesTheList) {
    fillList(4);
    lineFile::writeBytes(shows / "empty.txt", "");
    answer("empty.txt");
    EXPECT_TRUE(commands.mnuFileLoad_Click());
    EXPECT_EQ(table.count(), 0);
    EXPECT_TRUE(list.lines().empty());
    EXPECT_TRUE(rowsFromCountAreEmpty(table));
}

TEST_F(ShowFileCommandsTest, LoadUsesTheNameAsTyped) {
    writeShow("show", 1);
    writeShow("show.txt", 2);
    answer("show");
    EXPECT_TRUE(commands.mnuFileLoad_Click());
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(vars.SName, "show");
}

TEST_F(ShowFileCommandsTest, ItemsOfAnUnknownKindCountWithoutALine) {
    ItemTable file;
    file.append(textRow("a"));
    file.append({"終了", "", "", "", "", "", "", "", "", "", ""});
    file.append(textRow("b"));
    ASSERT_EQ(showFile::write(shows / "odd.txt", file), WriteStatus::Ok);
    answer("odd.txt");
    EXPECT_TRUE(commands.mnuFileLoad_Click());
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(list.lines().size(), 2U);
    EXPECT_EQ(list.rowOfLine(1), 2);
}

TEST_F(ShowFileCommandsTest, AFileThatCannotBeReadKeepsTheOldListAndIsReported) {
    fillList(5);
    answer("missing.txt");
    EXPECT_FALSE(commands.mnuFileLoad_Click());
    EXPECT_EQ(table.count(), 5);
    EXPECT_EQ(list.lines().size(), 5U);
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text,
              "ファイル「" + (shows / "missing.txt").string() +
                  "」を読み込めませんでした。表示のリストは変わっていません。");
    EXPECT_EQ(boxes.shown[0].title, "注意！！");
}

TEST_F(ShowFileCommandsTest, MoreThan101ItemsLoadsTheFirst101AndSaysSo) {
    writeShow("big.txt", 101);
    std::string bytes = bytesOf(shows / "big.txt");
    bytes += bytes.substr(0, 2 * 45); // two more items like the first
    lineFile::writeBytes(shows / "big.txt", bytes);
    answer("big.txt");
    EXPECT_TRUE(commands.mnuFileLoad_Click());
    EXPECT_EQ(table.count(), 101);
    EXPECT_EQ(table.row(100)[ItemTable::textField], "new100");
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text, "ファイル「" + (shows / "big.txt").string() +
                                       "」には101項目を超える表示があります。最初の101項目だけを"
                                       "読み込み、残りは読み込んでいません。");
}

TEST_F(ShowFileCommandsTest, SaveAppliesTheExtensionRuleAndStoresTheName) {
    fillList(2);
    answer("show.dat");
    EXPECT_TRUE(commands.mnuFileSave_Click());
    EXPECT_EQ(chooser.modes, std::vector<std::string>{"データ保存"});
    EXPECT_EQ(vars.SName, "show.txt");
    EXPECT_FALSE(fs::exists(shows / "show.dat"));
    // Each item is 46 bytes: "old0" is one byte longer than the "ABC" of a 45-byte item.
    EXPECT_EQ(bytesOf(shows / "show.txt").size(), 2U * 46U);
}

TEST_F(ShowFileCommandsTest, SavedListLoadsBackUnchanged) {
    list.appendRow({"文字", "A", "左へ", "白", "黒", "中", "", "7", "8", "9", "10"});
    list.appendRow({"画像", "", "移動しない", "白", "暗い赤", "遅く", "sun.jpg", "", "", "", ""});
    answer("round");
    ASSERT_TRUE(commands.mnuFileSave_Click());
    const ItemTable saved = table;
    list.clear();
    answer("round.txt");
    ASSERT_TRUE(commands.mnuFileLoad_Click());
    ASSERT_EQ(table.count(), 2);
    for (int r = 0; r < ItemTable::rowCount; ++r) {
        EXPECT_EQ(table.row(r), saved.row(r)) << r;
    }
}

TEST_F(ShowFileCommandsTest, SavingAnEmptyListEmptiesTheFile) {
    lineFile::writeBytes(shows / "show.txt", "old");
    answer("show.txt");
    EXPECT_TRUE(commands.mnuFileSave_Click());
    EXPECT_EQ(bytesOf(shows / "show.txt"), "");
}

TEST_F(ShowFileCommandsTest, AFailedSaveKeepsTheOldFileAndIsReported) {
    lineFile::writeBytes(shows / "show.txt", "old");
    fillList(1);
    list.appendRow(textRow("bad\xEF\xBF\xBD"));
    answer("show.txt");
    EXPECT_FALSE(commands.mnuFileSave_Click());
    EXPECT_EQ(bytesOf(shows / "show.txt"), "old");
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text,
              "2番目の項目：「表示させる文字」に、表示プログラムに送れない文字（シフトJISにない文字"
              "）が含まれています。ファイル「" +
                  (shows / "show.txt").string() + "」には保存していません。");
    EXPECT_EQ(boxes.shown[0].title, "注意！！");

    list.removeLine(1);
    chooser.answers.push_back({"OK", (shows / "nowhere").string(), "show.txt"});
    EXPECT_FALSE(commands.mnuFileSave_Click());
    ASSERT_EQ(boxes.shown.size(), 2U);
    EXPECT_EQ(boxes.shown[1].text, "ファイル「" + (shows / "nowhere" / "show.txt").string() +
                                       "」に保存できませんでした。フォルダーと名前を確かめて下さ"
                                       "い。前からあるファイルは変わっていません。");
}

class ShowFileCommandsBothCommands : public ShowFileCommandsTest,
                                     public ::testing::WithParamInterface<bool> {
protected:
    bool run() { return GetParam() ? commands.mnuFileLoad_Click() : commands.mnuFileSave_Click(); }
};

TEST_P(ShowFileCommandsBothCommands, StopARunningShowEvenWhenTheChooserIsCancelled) {
    fillList(3);
    controller.cmdDisplay_Click();
    clock.advance(10'000);
    ASSERT_TRUE(controller.timer(1).isActive());
    bool stoppedWhenChooserOpened = false;
    chooser.onOpen = [&] {
        stoppedWhenChooserOpened =
            !controller.timer(0).isActive() && !controller.timer(1).isActive();
    };
    chooser.answers.push_back({"Cancel", shows.string(), "x.txt"});
    EXPECT_FALSE(run());
    EXPECT_TRUE(stoppedWhenChooserOpened);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(table.count(), 3);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(lineFile::readBytes(controller.exchange().jobPath(1)).value_or("").substr(0, 2),
              "-1");
    EXPECT_FALSE(fs::exists(shows / "x.txt"));
}

TEST_P(ShowFileCommandsBothCommands, AnEmptyNameIsWarnedAboutAndChangesNothing) {
    fillList(2);
    chooser.answers.push_back({"OK", shows.string(), ""});
    EXPECT_FALSE(run());
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text, "ファイル名を正しく入力して下さい");
    EXPECT_EQ(boxes.shown[0].title, "注意！！");
    EXPECT_FALSE(boxes.shown[0].question);
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(list.lines().size(), 2U);
    EXPECT_TRUE(fs::is_empty(shows));
}

INSTANTIATE_TEST_SUITE_P(LoadAndSave, ShowFileCommandsBothCommands, ::testing::Bool(),
                         [](const auto& testCase) { return testCase.param ? "Load" : "Save"; });

} // namespace
} // namespace lm
