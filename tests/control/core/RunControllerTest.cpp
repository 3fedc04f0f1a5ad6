#include "RunController.h"

#include "FakeRunView.h"
#include "TempDir.h"
#include "TestRows.h"
#include "VirtualClock.h"

#include <fstream>
#include <gtest/gtest.h>

namespace lm {
namespace {

using test::pictureRow;
using test::textRow;

namespace fs = std::filesystem;

// Code page 932 bytes, written out so the checks do not lean on the encoder under test.
const std::string crlf = "\r\n";
const std::string bunji = "\x95\xB6\x8E\x9A";                              // 文字
const std::string shuuryou = "\x8F\x49\x97\xB9";                           // 終了
const std::string hidarie = "\x8D\xB6\x82\xD6";                            // 左へ
const std::string idoushinai = "\x88\xDA\x93\xAE\x82\xB5\x82\xC8\x82\xA2"; // 移動しない
const std::string shiro = "\x94\x92";                                      // 白
const std::string kuro = "\x8D\x95";                                       // 黒
const std::string kuraiAo = "\x88\xC3\x82\xA2\x90\xC2";                    // 暗い青
const std::string chuu = "\x92\x86";                                       // 中
const std::string zenkakuBlanks = "\x81\x40\x81\x40";                      // two ideographic spaces

const std::string stopJobBytes = "-1" + crlf + bunji + crlf + crlf + hidarie + crlf + crlf + shiro +
                                 crlf + kuraiAo + crlf + chuu + crlf + zenkakuBlanks + crlf + crlf;
const std::string endJobBytes = "-1" + crlf + shuuryou + crlf + crlf + hidarie + crlf + crlf +
                                shiro + crlf + kuraiAo + crlf + chuu + crlf + zenkakuBlanks + crlf +
                                crlf;

class RunControllerTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ItemTable table;
    test::FakeRunView view;
    test::VirtualClock clock;
    RunController controller{table, dir.path(), view};
    const ExchangeFolder& exchange = controller.exchange();

    void SetUp() override {
        view.watch(controller);
        exchange.make();
        for (int n = 0; n < RunController::timerCount; ++n) {
            clock.attach(controller.timer(n));
        }
    }

    void addTexts(int count) {
        for (int i = 0; i < count; ++i) {
            table.append(textRow("item" + std::to_string(i)));
        }
    }

    std::string head(int display) const { return exchange.readJobHead(display).line; }
    std::vector<std::string> job(int display) const {
        return exchange.readJob(display).value_or(std::vector<std::string>{});
    }
    std::string bytesOf(const fs::path& path) const {
        return lineFile::readBytes(path).value_or("<missing>");
    }
    bool exists(const fs::path& path) const { return fs::exists(path); }
    fs::path endAnswer(int display) const { return exchange.answerPath(AnswerKind::End, display); }
    fs::path nextAnswer(int display) const {
        return exchange.answerPath(AnswerKind::Next, display);
    }

    // What the display programs would write.
    void reportEnd(int item) const {
        exchange.writeAnswer(1, AnswerKind::End, itemNumberLine(item));
    }
    void reportNext(int display, int item) const {
        exchange.writeAnswer(display, AnswerKind::Next, itemNumberLine(item));
    }

    bool anyTimerActive() {
        for (int n = 0; n < RunController::timerCount; ++n) {
            if (controller.timer(n).isActive()) {
                return true;
            }
        }
        return false;
    }

    // A display answers only the items it was sent: display 1 ends rows 0 ... row in turn, so
    // that it was sent every row up to row + 1.
    void endOnDisplayOne(int row) {
        for (int r = 0; r <= row; ++r) {
            reportEnd(r);
            clock.advance(100);
        }
    }
    // Row 0 passes from display 1 to display n through the chain.
    void passRowZeroTo(int n) {
        for (int display = 1; display < n; ++display) {
            reportNext(display, 0);
            clock.advance(100);
        }
    }

    // Starts the show at "速く" and runs until watcher n has been switched on.
    void startFastUntilWatcher(int n) {
        view.speed = "速く";
        controller.cmdDisplay_Click();
        clock.advanceTo(clock.now() + (n + 1) * 1000);
        ASSERT_TRUE(controller.timer(n).isActive());
    }
};

TEST_F(RunControllerTest, OneItemIsRefusedAndNothingIsWritten) {
    addTexts(1);
    EXPECT_EQ(controller.cmdDisplay_Click(),
              "２項目以上の動作（文字や画像）を\r\n設定して下さい。");
    EXPECT_FALSE(view.showingVisible);
    clock.advance(60'000);
    EXPECT_FALSE(anyTimerActive());
    for (int n = 1; n <= 16; ++n) {
        EXPECT_FALSE(exists(exchange.jobPath(n))) << n;
    }
}

TEST_F(RunControllerTest, PaceOfMediumSwitchesWatcherNOnAtTickNPlusOne) {
    addTexts(3);
    controller.cmdDisplay_Click();
    EXPECT_TRUE(view.showingVisible);
    EXPECT_EQ(controller.SpeedFactor(), 30);
    EXPECT_EQ(controller.timer(0).interval(), 3000);

    for (int n = 1; n <= 16; ++n) {
        const std::int64_t on = (n + 1) * 3000;
        clock.advanceTo(on - 1);
        EXPECT_FALSE(controller.timer(n).isActive()) << n;
        clock.advanceTo(on);
        EXPECT_TRUE(controller.timer(n).isActive()) << n;
        EXPECT_EQ(controller.timer(n).interval(), 100);
    }
    EXPECT_FALSE(view.lineCaptionRed);
    clock.advanceTo(18 * 3000 - 1);
    EXPECT_TRUE(controller.timer(0).isActive());
    EXPECT_FALSE(view.lineCaptionRed);
    clock.advanceTo(18 * 3000);
    EXPECT_FALSE(controller.timer(0).isActive());
    EXPECT_TRUE(view.lineCaptionRed);
}

TEST_F(RunControllerTest, WatcherOneSendsRowZeroAtItsFirstTick) {
    addTexts(2);
    controller.cmdDisplay_Click();
    clock.advanceTo(6099);
    EXPECT_FALSE(exists(exchange.jobPath(1)));
    clock.advanceTo(6100);
    EXPECT_EQ(head(1), " 0 ");
    EXPECT_EQ(view.computerCaption, " 2");
    EXPECT_EQ(view.lineCaption, " 1");
}

struct PaceCase {
    std::string name;
    std::string earlierSpeed; // a started show before, or empty
    std::string speed;
    int paceMs;
};

class RunControllerPace : public RunControllerTest,
                          public ::testing::WithParamInterface<PaceCase> {};

TEST_P(RunControllerPace, StartPaceFollowsTheSpeedWord) {
    addTexts(2);
    if (!GetParam().earlierSpeed.empty()) {
        view.speed = GetParam().earlierSpeed;
        controller.cmdDisplay_Click();
    }
    view.speed = GetParam().speed;
    controller.cmdDisplay_Click();
    EXPECT_EQ(controller.timer(0).interval(), GetParam().paceMs);
    EXPECT_TRUE(controller.timer(0).isActive());
}

INSTANTIATE_TEST_SUITE_P(
    SpeedWords, RunControllerPace,
    ::testing::Values(PaceCase{"Fast", "", "速く", 1000},
                      PaceCase{"RatherFast", "", "やや速く", 2000},
                      PaceCase{"Medium", "", "中", 3000},
                      PaceCase{"RatherSlow", "", "やや遅く", 4000},
                      PaceCase{"Slow", "", "遅く", 5000},
                      // An unknown word keeps the last pace, and before any known one uses "中".
                      PaceCase{"UnknownFirst", "", "とても速く", 3000},
                      PaceCase{"UnknownAfterSlow", "遅く", "中 ", 5000},
                      PaceCase{"EmptyAfterFast", "速く", "", 1000}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(RunControllerTest, ThreeItemsWithoutRepetitionEndWithWatcherOneOff) {
    addTexts(3);
    startFastUntilWatcher(1);
    clock.advance(100);
    EXPECT_EQ(job(1)[jobLine::text], "item0");
    for (int row = 0; row < 3; ++row) {
        ASSERT_EQ(head(1), itemNumberLine(row));
        EXPECT_EQ(view.lineCaption, " " + std::to_string(row + 1));
        reportEnd(row);
        clock.advance(100);
        EXPECT_FALSE(exists(endAnswer(1))) << row;
    }
    EXPECT_EQ(head(1), " 2 ");
    EXPECT_FALSE(controller.timer(1).isActive());
    EXPECT_EQ(controller.SendRow(1), 4);
}

TEST_F(RunControllerTest, RepetitionSendsRowZero100msAfterTheLastEndAnswer) {
    addTexts(3);
    view.repeat = true;
    startFastUntilWatcher(1);
    clock.advance(100);
    reportEnd(0);
    clock.advance(100);
    reportEnd(1);
    clock.advance(100);
    ASSERT_EQ(head(1), " 2 ");
    reportEnd(2);
    clock.advance(100); // this tick takes the answer
    EXPECT_FALSE(exists(endAnswer(1)));
    EXPECT_EQ(head(1), " 2 ");
    EXPECT_TRUE(controller.timer(0).isActive());
    EXPECT_EQ(controller.StartCounter(), 0);
    clock.advance(100);
    EXPECT_EQ(head(1), " 0 ");
    EXPECT_EQ(view.lineCaption, " 1");
    EXPECT_TRUE(controller.timer(1).isActive());
}

TEST_F(RunControllerTest, EndAnswersThatDoNotFitStayAndAreIgnored) {
    addTexts(3);
    startFastUntilWatcher(1);
    clock.advance(100);
    ASSERT_EQ(head(1), " 0 ");
    // Not the item last sent, then the right item without the end word.
    reportEnd(1);
    clock.advance(500);
    EXPECT_EQ(head(1), " 0 ");
    EXPECT_TRUE(exists(endAnswer(1)));
    lineFile::writeBytes(endAnswer(1), " 0 ,\x95\x5C\x8E\xA6\r\n"); // " 0 ,表示", half written
    clock.advance(500);
    EXPECT_EQ(head(1), " 0 ");
    EXPECT_TRUE(exists(endAnswer(1)));
    reportEnd(0);
    clock.advance(100);
    EXPECT_EQ(head(1), " 1 ");
}

TEST_F(RunControllerTest, DisplayTwoGetsEachRowOnTheNextAnswerForIt) {
    addTexts(3);
    startFastUntilWatcher(2);
    EXPECT_FALSE(exists(exchange.jobPath(2)));
    reportNext(1, 0);
    clock.advance(100);
    EXPECT_EQ(head(2), " 0 ");
    EXPECT_FALSE(exists(nextAnswer(1)));

    // A second report for 0 is left in place and ignored.
    reportNext(1, 0);
    clock.advance(1000);
    EXPECT_EQ(head(2), " 0 ");
    EXPECT_TRUE(exists(nextAnswer(1)));

    endOnDisplayOne(0);
    reportNext(1, 1);
    clock.advance(100);
    EXPECT_EQ(head(2), " 1 ");
    EXPECT_EQ(controller.SendRow(2), 2);
}

TEST_F(RunControllerTest, AReportedAnswerRunsOnlyTheTickOfTheWatcherThatReadsIt) {
    addTexts(3);
    startFastUntilWatcher(3);
    exchange.writeAnswer(1, AnswerKind::End, itemNumberLine(0));
    reportNext(1, 0);
    reportNext(3, 0); // watcher 4 is not on yet
    // Each runs at once, without the clock moving on.
    controller.answerChanged(AnswerKind::End, 2);
    controller.answerChanged(AnswerKind::Next, 16);
    controller.answerChanged(AnswerKind::Next, 3);
    EXPECT_EQ(head(1), " 0 ");
    EXPECT_FALSE(exists(exchange.jobPath(2)) || exists(exchange.jobPath(4)));
    controller.answerChanged(AnswerKind::End, 1);
    controller.answerChanged(AnswerKind::Next, 1);
    EXPECT_EQ(head(1), " 1 ");
    EXPECT_EQ(head(2), " 0 ");
}

TEST_F(RunControllerTest, AnAnswerWithAnEmptyFirstFieldIsIgnored) {
    addTexts(2);
    startFastUntilWatcher(2);
    lineFile::writeBytes(nextAnswer(1), ",\x8E\x9F\x82\xD6\r\n");
    clock.advance(500);
    EXPECT_FALSE(exists(exchange.jobPath(2)));
    EXPECT_TRUE(exists(nextAnswer(1)));
}

// Display 1, started again while it showed the last row, answers that row once more; display 2
// has had it already. Caught after its first byte, the answer's blank would read as item 0 and
// start the next round on display 2 while display 1 still shows the last row.
TEST_F(RunControllerTest, ARepeatedAnswerCaughtHalfWrittenMovesNoDisplay) {
    addTexts(2);
    view.repeat = true;
    startFastUntilWatcher(2);
    endOnDisplayOne(0);
    for (int row = 0; row < 2; ++row) {
        reportNext(1, row);
        clock.advance(100);
    }
    ASSERT_EQ(head(2), " 1 ");
    ASSERT_EQ(controller.SendRow(2), 2);

    reportNext(1, 1);
    const std::string whole = bytesOf(nextAnswer(1));
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        ASSERT_TRUE(lineFile::writeBytes(nextAnswer(1), whole.substr(0, cut)));
        clock.advance(300);
        EXPECT_EQ(head(2), " 1 ");
        EXPECT_EQ(controller.SendRow(2), 2);
    }
    // The next round's answer, whole, starts it.
    reportNext(1, 0);
    clock.advance(100);
    EXPECT_EQ(head(2), " 0 ");
}

class RunControllerStillRule : public RunControllerTest,
                               public ::testing::WithParamInterface<int> {};

// Watchers 2, 3 and 4 send a still picture at once on a repeated report; the others wait.
TEST_P(RunControllerStillRule, RepeatedReportReleasesAFollowingStillPictureOnlyForWatchers2To4) {
    const int n = GetParam();
    table.append(textRow("a"));
    table.append(pictureRow("still.jpg", "移動しない"));
    table.append(textRow("b"));
    startFastUntilWatcher(n);
    passRowZeroTo(n - 1);
    reportNext(n - 1, 0);
    clock.advance(100);
    ASSERT_EQ(head(n), " 0 ");
    reportNext(n - 1, 0);
    clock.advance(100);
    if (n <= 4) {
        EXPECT_EQ(head(n), " 1 ");
        EXPECT_FALSE(exists(nextAnswer(n - 1)));
        EXPECT_EQ(controller.LastStillAnswer(n), 0);
    } else {
        EXPECT_EQ(head(n), " 0 ");
        EXPECT_TRUE(exists(nextAnswer(n - 1)));
    }
}

INSTANTIATE_TEST_SUITE_P(Watchers, RunControllerStillRule, ::testing::Values(2, 3, 4, 5, 16));

TEST_F(RunControllerTest, AStillPictureReleaseFromAnEarlierShowDoesNotHoldUpTheNext) {
    table.append(textRow("a"));
    table.append(pictureRow("still.jpg", "移動しない"));
    for (int show = 0; show < 2; ++show) {
        startFastUntilWatcher(2);
        EXPECT_EQ(controller.LastStillAnswer(2), -1) << show;
        reportNext(1, 0);
        clock.advance(100);
        reportNext(1, 0);
        clock.advance(100);
        EXPECT_EQ(head(2), " 1 ") << show;
        controller.cmdStop_Click();
    }
}

TEST_F(RunControllerTest, TheSameRepeatedReportReleasesAStillPictureOnlyOnce) {
    // In the second round display 2 gets row 0 again; the report for 0 already released
    // the still picture in this show, so it waits for the report for 1.
    table.append(textRow("a"));
    table.append(pictureRow("still.jpg", "移動しない"));
    view.repeat = true;
    startFastUntilWatcher(2);
    reportNext(1, 0);
    clock.advance(100);
    reportNext(1, 0);
    clock.advance(100);
    ASSERT_EQ(head(2), " 1 ");
    reportNext(1, 0); // display 1 begins the list again
    clock.advance(100);
    ASSERT_EQ(head(2), " 0 ");
    reportNext(1, 0);
    clock.advance(500);
    EXPECT_EQ(head(2), " 0 ");
    EXPECT_TRUE(exists(nextAnswer(1)));
    endOnDisplayOne(0);
    reportNext(1, 1);
    clock.advance(100);
    EXPECT_EQ(head(2), " 1 ");
}

TEST_F(RunControllerTest, AfterTheWholeListWithoutRepetitionTheRowAfterTheLastIsSentEmpty) {
    addTexts(2);
    view.movement = "左へ";
    startFastUntilWatcher(2);
    endOnDisplayOne(0);
    for (int row = 0; row < 2; ++row) {
        reportNext(1, row);
        clock.advance(100);
    }
    ASSERT_EQ(controller.SendRow(2), 2);
    reportNext(1, 0);
    clock.advance(100);
    EXPECT_EQ(job(2),
              (std::vector<std::string>{" 2 ", "", "", "左へ", "", "", "", "速く", "", ""}));
    EXPECT_EQ(controller.SendRow(2), 3);
    EXPECT_FALSE(controller.timer(2).isActive());
}

TEST_F(RunControllerTest, WatcherNBeginsAgainWhenItsPredecessorReportsRowZeroWithRepetition) {
    addTexts(2);
    view.repeat = true;
    startFastUntilWatcher(3);
    passRowZeroTo(3);
    endOnDisplayOne(0);
    reportNext(1, 1);
    clock.advance(100);
    reportNext(2, 1);
    clock.advance(100);
    ASSERT_EQ(head(3), " 1 ");
    reportNext(2, 0);
    clock.advance(100);
    EXPECT_EQ(head(3), " 0 ");
    EXPECT_EQ(controller.SendRow(3), 1);
    EXPECT_TRUE(controller.timer(3).isActive());
}

TEST_F(RunControllerTest, ADisplayThatMissedTheLastRowsTakesUpWhatItsPredecessorPassesOn) {
    // Display 2's last item was cut off by a faster one before it reached its hand-over
    // point, so display 3 never got row 2; display 2 then began the list again. Display 3
    // shows what display 2 has just passed on, in step, not the row it lacks.
    addTexts(3);
    view.repeat = true;
    startFastUntilWatcher(3);
    endOnDisplayOne(1);
    for (const auto& [display, row] :
         std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {1, 1}, {2, 1}, {1, 2}, {1, 0}}) {
        reportNext(display, row);
        clock.advance(100);
    }
    ASSERT_EQ(head(2), " 0 ");
    ASSERT_EQ(head(3), " 1 ");
    ASSERT_EQ(controller.SendRow(3), 2);

    for (int row = 0; row < 3; ++row) {
        reportNext(2, row); // display 2's new round
        clock.advance(100);
        EXPECT_EQ(head(3), itemNumberLine(row));
        EXPECT_FALSE(exists(nextAnswer(2)));
    }
}

TEST_F(RunControllerTest, StillShowOfThreePicturesMovesEveryDisplayOneRowPerEndAnswer) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        table.append(pictureRow(name, "移動しない"));
    }
    controller.cmdDisplay_Click();
    EXPECT_TRUE(controller.StillShow());
    clock.advanceTo(3000); // the first starter tick already switches watcher 1 on
    EXPECT_TRUE(controller.timer(1).isActive());
    clock.advanceTo(3100);
    for (int n = 1; n <= 16; ++n) {
        const int row = (25 - n) % 3;
        EXPECT_EQ(head(n), itemNumberLine(row)) << n;
    }
    EXPECT_EQ(head(2), " 2 ");
    EXPECT_EQ(head(3), " 1 ");
    EXPECT_EQ(head(4), " 0 ");
    EXPECT_EQ(job(2)[jobLine::picture], "c.jpg");

    reportEnd(0);
    clock.advance(100);
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(head(n), itemNumberLine((26 - n) % 3)) << n;
    }
    // The starter keeps switching only watcher 1 on, until the show is stopped.
    clock.advance(100'000);
    EXPECT_TRUE(controller.timer(0).isActive());
    EXPECT_FALSE(view.lineCaptionRed);
    for (int n = 2; n <= 16; ++n) {
        EXPECT_FALSE(controller.timer(n).isActive()) << n;
    }
}

TEST_F(RunControllerTest, TickingRepeatAfterAStillShowRanThroughStartsItAgain) {
    table.append(pictureRow("a.jpg", "移動しない"));
    table.append(pictureRow("b.jpg", "移動しない"));
    controller.cmdDisplay_Click();
    clock.advanceTo(3100);
    reportEnd(0);
    clock.advance(100);
    reportEnd(1);
    clock.advance(100);
    ASSERT_EQ(controller.SendRow(1), 3);
    ASSERT_FALSE(controller.timer(1).isActive());
    view.repeat = true;
    clock.advanceTo(6000); // the starter switches watcher 1 on again
    ASSERT_TRUE(controller.timer(1).isActive());
    clock.advance(100);
    EXPECT_EQ(controller.SendRow(1), 0);
    clock.advance(100);
    EXPECT_EQ(head(1), " 0 ");
    EXPECT_EQ(controller.SendRow(1), 1);
}

TEST_F(RunControllerTest, PicturePathsAreCopiedAndReducedToBareNamesAtShowStart) {
    const fs::path pictures = dir.path() / "pictures";
    fs::create_directory(pictures);
    std::ofstream(pictures / "far.jpg") << "GIF89a far";
    std::ofstream(exchange.folder() / "here.jpg") << "GIF89a here";
    table.append(pictureRow((pictures / "far.jpg").string(), "左へ"));
    table.append(pictureRow("C:\\pictures\\windows.jpg", "左へ"));
    table.append(pictureRow((exchange.folder() / "here.jpg").string(), "左へ"));
    table.append(pictureRow("bare.jpg", "左へ"));
    controller.cmdDisplay_Click();
    EXPECT_FALSE(controller.StillShow());
    EXPECT_EQ(table.row(0)[ItemTable::pictureField], "far.jpg");
    EXPECT_EQ(table.row(1)[ItemTable::pictureField], "windows.jpg");
    EXPECT_EQ(table.row(2)[ItemTable::pictureField], "here.jpg");
    EXPECT_EQ(table.row(3)[ItemTable::pictureField], "bare.jpg");
    EXPECT_EQ(bytesOf(exchange.folder() / "far.jpg"), "GIF89a far");
    // Copied onto itself, it keeps its contents.
    EXPECT_EQ(bytesOf(exchange.folder() / "here.jpg"), "GIF89a here");
    EXPECT_FALSE(exists(exchange.folder() / "windows.jpg"));
}

TEST_F(RunControllerTest, ShowStartDeletesOldAnswersAndJobs) {
    addTexts(2);
    for (const char* name : {"LMPEnd3.ans", "LMPNext4.ans", "LMData9.ini", "keep.jpg"}) {
        std::ofstream(exchange.folder() / name) << "x";
    }
    controller.cmdDisplay_Click();
    EXPECT_FALSE(exists(exchange.folder() / "LMPEnd3.ans"));
    EXPECT_FALSE(exists(exchange.folder() / "LMPNext4.ans"));
    EXPECT_FALSE(exists(exchange.folder() / "LMData9.ini"));
    EXPECT_TRUE(exists(exchange.folder() / "keep.jpg"));
}

struct PaddingCase {
    std::string name;
    ItemTable::Row first;
    ItemTable::Row second;
    std::string line9;
};

class RunControllerPadding : public RunControllerTest,
                             public ::testing::WithParamInterface<PaddingCase> {};

TEST_P(RunControllerPadding, LineNineIsPaddedOnlyForATextBeforeAPicture) {
    table.append(GetParam().first);
    table.append(GetParam().second);
    view.movement = "左へ";
    startFastUntilWatcher(1);
    clock.advance(100);
    EXPECT_EQ(job(1)[jobLine::text], GetParam().line9);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RunControllerPadding,
    ::testing::Values(
        PaddingCase{"TextBeforePicture", textRow("A"), pictureRow("p.jpg", "左へ"), "A　　"},
        PaddingCase{"TextBeforeText", textRow("A"), textRow("B"), "A"},
        PaddingCase{"PictureBeforePicture", pictureRow("p.jpg", "左へ"),
                    pictureRow("q.jpg", "左へ"), ""},
        PaddingCase{"PictureBeforeText", pictureRow("p.jpg", "左へ"), textRow("B"), ""}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(RunControllerTest, ItemJobTakesMovementAndSpeedFromTheWindowByteForByte) {
    table.append(textRow("ABC"));
    table.append(textRow("DEF"));
    view.speed = "速く";
    controller.cmdDisplay_Click();
    view.speed = "中"; // changed while the show runs: the next job carries it
    view.movement = "左へ";
    clock.advanceTo(2100);
    EXPECT_EQ(bytesOf(exchange.jobPath(1)), " 0 " + crlf + bunji + crlf + crlf + hidarie + crlf +
                                                crlf + shiro + crlf + kuro + crlf + chuu + crlf +
                                                "ABC" + crlf + crlf);
    // Nothing follows the last row, so it is not padded.
    view.movement = "移動しない";
    reportEnd(0);
    clock.advance(100);
    EXPECT_EQ(bytesOf(exchange.jobPath(1)), " 1 " + crlf + bunji + crlf + crlf + idoushinai + crlf +
                                                crlf + shiro + crlf + kuro + crlf + chuu + crlf +
                                                "DEF" + crlf + crlf);
}

TEST_F(RunControllerTest, StopWritesSixteenStopJobsAndDeletesTheAnswersWithNoShowRunning) {
    for (const char* name : {"LMPEnd1.ans", "LMPEnd7.ans", "LMPNext3.ans", "keep.jpg"}) {
        std::ofstream(exchange.folder() / name) << "x";
    }
    view.showingVisible = true;
    controller.cmdStop_Click();
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(bytesOf(exchange.jobPath(n)), stopJobBytes) << n;
    }
    EXPECT_FALSE(exists(exchange.jobPath(17)));
    EXPECT_FALSE(exists(exchange.folder() / "LMPEnd1.ans"));
    EXPECT_FALSE(exists(exchange.folder() / "LMPEnd7.ans"));
    EXPECT_FALSE(exists(exchange.folder() / "LMPNext3.ans"));
    EXPECT_TRUE(exists(exchange.folder() / "keep.jpg"));
    EXPECT_FALSE(view.showingVisible);
    EXPECT_TRUE(view.jobWriteProblem.empty());
}

TEST_F(RunControllerTest, StopHaltsARunningShowAndKeepsItsRows) {
    addTexts(3);
    startFastUntilWatcher(2);
    clock.advance(100);
    reportEnd(0);
    clock.advance(100);
    controller.cmdStop_Click();
    EXPECT_FALSE(anyTimerActive());
    EXPECT_EQ(controller.SendRow(1), 2);
    EXPECT_EQ(view.lineCaption, " 2");
    reportEnd(1);
    clock.advance(60'000);
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(bytesOf(exchange.jobPath(n)), stopJobBytes) << n;
    }
}

TEST_F(RunControllerTest, StopMakesAMissingExchangeFolder) {
    fs::remove_all(exchange.folder());
    controller.cmdStop_Click();
    EXPECT_EQ(bytesOf(exchange.jobPath(16)), stopJobBytes);
}

TEST_F(RunControllerTest, EndingTheDisplaysWritesSixteenEndJobsAndSwitchesEveryTimerOff) {
    addTexts(2);
    startFastUntilWatcher(3);
    controller.endDisplays();
    EXPECT_FALSE(anyTimerActive());
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(bytesOf(exchange.jobPath(n)), endJobBytes) << n;
    }
    view.showingVisible = true;
    clock.advance(60'000);
    EXPECT_EQ(bytesOf(exchange.jobPath(1)), endJobBytes);
    EXPECT_TRUE(view.showingVisible); // the end command leaves "表示中" as it is
}

TEST_F(RunControllerTest, FailingJobWritesAreShownOnceAndClearedWhenWritingWorksAgain) {
    fs::remove_all(exchange.folder());
    std::ofstream(exchange.folder()) << "a file where the folder should be";
    controller.cmdStop_Click();
    ASSERT_EQ(view.jobWriteProblems.size(), 1U);
    EXPECT_EQ(view.jobWriteProblem,
              "data フォルダーに書き込めません。直して「表示を止める」を押して下さい"
              "（コンピュータ 1-16）。");
    EXPECT_EQ(controller.WriteStopJob(5), WriteStatus::IoError);
    EXPECT_EQ(view.jobWriteProblems.size(), 1U);

    fs::remove(exchange.folder());
    controller.cmdStop_Click();
    EXPECT_EQ(view.jobWriteProblem, "");
    EXPECT_EQ(view.jobWriteProblems.size(), 2U);
}

// Without the folder no answer arrives and no job is written: the show would stand still with
// nothing to tell the operator.
TEST_F(RunControllerTest, AnExchangeFolderGoneInMidShowIsShownUntilItIsBack) {
    addTexts(3);
    startFastUntilWatcher(2);
    ASSERT_EQ(view.jobWriteProblem, "");
    fs::remove_all(exchange.folder());
    clock.advance(1000);
    EXPECT_EQ(view.jobWriteProblem, "data フォルダーがありません。戻して、表示させ直して下さい。");
    EXPECT_EQ(view.jobWriteProblems.size(), 1U);

    exchange.make();
    clock.advance(100);
    EXPECT_EQ(view.jobWriteProblem, "");
    reportNext(1, 0);
    clock.advance(100);
    EXPECT_EQ(head(2), " 0 ");
}

TEST_F(RunControllerTest, StopMakesTheFolderAgainAndClearsItsAbsence) {
    addTexts(3);
    startFastUntilWatcher(1);
    fs::remove_all(exchange.folder());
    clock.advance(200);
    ASSERT_NE(view.jobWriteProblem, "");
    controller.cmdStop_Click();
    EXPECT_EQ(view.jobWriteProblem, "");
    EXPECT_EQ(bytesOf(exchange.jobPath(16)), stopJobBytes);
}

TEST_F(RunControllerTest, AnUnwritableFolderAndAValueThatCannotTravelAreBothTold) {
    addTexts(2);
    fs::remove_all(exchange.folder());
    std::ofstream(exchange.folder()) << "a file where the folder should be";
    controller.cmdStop_Click();
    view.speed = "速く😀";
    EXPECT_EQ(controller.WriteItemJob(2), WriteStatus::NotShiftJis);
    EXPECT_EQ(view.jobWriteProblem,
              "data フォルダーに書き込めません。直して「表示を止める」を押して下さい"
              "（コンピュータ 1, 3-16）。表示プログラムへの指示を書き込めません。コンピュータ 2："
              "シフトJISにない文字は送れません。");
}

TEST_F(RunControllerTest, AJobWithAValueThatCannotTravelIsReportedAndTheShowGoesOn) {
    addTexts(3);
    startFastUntilWatcher(2);
    clock.advance(100);
    reportNext(1, 0);
    view.speed = "速く😀"; // typed while the show runs
    clock.advance(100);
    EXPECT_FALSE(exists(exchange.jobPath(2)));
    EXPECT_EQ(view.jobWriteProblem, "表示プログラムへの指示を書き込めません。コンピュータ 2："
                                    "シフトJISにない文字は送れません。");
    EXPECT_TRUE(controller.timer(2).isActive());

    view.speed = "速く";
    reportEnd(0);
    clock.advance(100);
    EXPECT_EQ(head(1), " 1 ");
    EXPECT_FALSE(view.jobWriteProblem.empty()); // display 2 still lacks its job
    reportNext(1, 1);
    clock.advance(100);
    EXPECT_EQ(head(2), " 1 ");
    EXPECT_EQ(view.jobWriteProblem, "");
}

struct RefusalCase {
    std::string name;
    std::vector<ItemTable::Row> rows;
    std::string movement;
    std::string speed;
    std::string warning;
};

class RunControllerRefusal : public RunControllerTest,
                             public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RunControllerRefusal, StartIsRefusedWithAWarningThatNamesTheProblem) {
    for (const auto& row : GetParam().rows) {
        table.append(row);
    }
    view.movement = GetParam().movement;
    view.speed = GetParam().speed;
    EXPECT_EQ(controller.cmdDisplay_Click(), GetParam().warning);
    EXPECT_FALSE(view.showingVisible);
    clock.advance(30'000);
    EXPECT_FALSE(anyTimerActive());
    EXPECT_FALSE(exists(exchange.jobPath(1)));
}

ItemTable::Row withField(ItemTable::Row row, std::size_t field, std::string value) {
    row[field] = std::move(value);
    return row;
}

INSTANTIATE_TEST_SUITE_P(
    Problems, RunControllerRefusal,
    ::testing::Values(
        RefusalCase{"MovementNotAWordWithPictures",
                    {textRow("a"), pictureRow("p.jpg", "左へ")},
                    "右へ",
                    "中",
                    "「画像の移動」が「移動しない」でも「左へ」でもないため、画像を表示できません。"
                    "「移動しない」か「左へ」を選んで下さい。"},
        RefusalCase{"UnknownKind",
                    {textRow("a"), withField(textRow("b"), ItemTable::kindField, "終了")},
                    "移動しない",
                    "中",
                    "2番目の項目の種類「終了」は表示できません。種類が「文字」か「画像」の項目だけ"
                    "を表示できます。この項目は表示のリストに出ないため、ファイルを直して読み込み"
                    "直すか、「すべて削除」して作り直して下さい。"},
        RefusalCase{
            "UndecodableText",
            {textRow("a\xEF\xBF\xBD"), textRow("b")},
            "移動しない",
            "中",
            "1番目の項目：「表示させる文字」に、表示プログラムに送れない文字（シフトJISにない"
            "文字）が含まれています。"},
        RefusalCase{
            "SpeedWithALineBreak",
            {textRow("a"), textRow("b")},
            "移動しない",
            "中\n",
            "「表示の速さ」に改行が含まれています。改行は表示プログラムに送れないため、使えま"
            "せん。"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(RunControllerTest, AnyMovementTextIsAcceptedForAListOfTexts) {
    addTexts(2);
    view.movement = "右へ";
    EXPECT_EQ(controller.cmdDisplay_Click(), "");
    EXPECT_TRUE(controller.timer(0).isActive());
}

} // namespace
} // namespace lm

namespace lm {
namespace {

// What display 1 wrote beside its next answer for row 0, and what display 2's record then says.
struct InstantCase {
    const char* name;
    std::optional<Instant> record; // LMNextAt1.dat; none: no such file
    bool cut;                      // caught before its last line ended
    bool passedOn;
};

class InstantHandOver : public RunControllerTest,
                        public ::testing::WithParamInterface<InstantCase> {};

Instant nextInstant(int display, const char* head) {
    Instant instant;
    instant.display = display;
    instant.head = head;
    instant.atUs = 1'765'000'000'123'456;
    instant.host = "wall-pc-1";
    instant.bootId = "boot-1";
    instant.clock = {true, 1200};
    return instant;
}

TEST_P(InstantHandOver, GoesWithTheItemOnlyWhenItFitsTheAnswer) {
    const InstantCase& row = GetParam();
    addTexts(3);
    startFastUntilWatcher(2);
    const std::optional<Instant> one = exchange.readInstant(exchange.startInstantPath(1));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->head, " 0 ");
    EXPECT_FALSE(one->atUs) << "display 1 starts as its job arrives";
    if (row.record) {
        std::string bytes = row.record->encode();
        if (row.cut) {
            bytes.resize(bytes.size() - 3);
        }
        ASSERT_TRUE(lineFile::writeBytes(exchange.nextInstantPath(1), bytes));
    }
    reportNext(1, 0);
    clock.advance(100);
    ASSERT_EQ(head(2), " 0 ");
    const std::optional<Instant> two = exchange.readInstant(exchange.startInstantPath(2));
    ASSERT_TRUE(two);
    EXPECT_EQ(two->display, 2);
    EXPECT_EQ(two->head, " 0 ");
    EXPECT_NE(two->sequence, one->sequence);
    if (row.passedOn) {
        EXPECT_EQ(two->atUs, row.record->atUs);
        EXPECT_EQ(two->host, row.record->host);
        EXPECT_EQ(two->bootId, row.record->bootId);
        EXPECT_EQ(two->clock, row.record->clock);
    } else {
        EXPECT_FALSE(two->atUs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, InstantHandOver,
    ::testing::Values(InstantCase{"fits", nextInstant(1, " 0 "), false, true},
                      InstantCase{"another_item", nextInstant(1, " 1 "), false, false},
                      InstantCase{"another_display", nextInstant(3, " 0 "), false, false},
                      InstantCase{"none", std::nullopt, false, false},
                      InstantCase{"cut", nextInstant(1, " 0 "), true, false}),
    [](const ::testing::TestParamInfo<InstantCase>& param) { return param.param.name; });

} // namespace
} // namespace lm
