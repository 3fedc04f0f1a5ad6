#include "DisplayFixture.h"

#include <chrono>
#include <filesystem>

namespace lm {
namespace {

using namespace std::chrono_literals;

using test::DisplayFixture;

class JobPollerTest : public DisplayFixture {};

TEST_F(JobPollerTest, NothingIsReadBeforeOk) {
    writeJob(textJob(" 0 ", "中", "ABC"));
    clock.advance(2000);
    EXPECT_EQ(view.captionsSet, 0);
}

TEST_F(JobPollerTest, AJobAlreadyThereStartsAtTheFirstPoll) {
    writeJob(textJob(" 0 ", "中", "ABC"));
    confirm();
    clock.advance(80);
    EXPECT_EQ(view.caption, "ABC");
    EXPECT_EQ(logic.poller().LastJobHead(), " 0 ");
    // That start switched the one-shot start timer off.
    EXPECT_FALSE(logic.timer1().isEnabled());
    clock.advance(1000);
    EXPECT_EQ(view.captionsSet, 1);
}

TEST_F(JobPollerTest, TheStartTimerStartsTheJobOnceAfterOk) {
    confirm();
    clock.advance(90);
    writeJob(textJob(" 0 ", "中", "ABC"));
    clock.advance(10);
    EXPECT_EQ(view.caption, "ABC");
    EXPECT_FALSE(logic.timer1().isEnabled());
}

TEST_F(JobPollerTest, SameLineOneTwiceIsShownOnce) {
    startJob(textJob(" 3 ", "中", "first"));
    writeJob(textJob(" 3 ", "中", "second"));
    clock.advance(1000);
    EXPECT_EQ(view.caption, "first");
    EXPECT_EQ(view.captionsSet, 1);
}

TEST_F(JobPollerTest, LineOneIsComparedExactly) {
    startJob(textJob(" 3 ", "中", "first"));
    writeJob(textJob("3", "中", "second"));
    clock.advance(80);
    EXPECT_EQ(view.caption, "second");
}

TEST_F(JobPollerTest, EmptyLineOneStartsOnlyAfterAnotherJob) {
    confirm();
    // Past the one-shot start timer, which starts whatever job stands in the file.
    clock.advance(100);
    writeJob(textJob("", "中", "blank head"));
    clock.advance(1000);
    EXPECT_EQ(view.captionsSet, 0);

    writeJob(textJob(" 4 ", "中", "four"));
    ASSERT_TRUE(runUntilStarted(" 4 "));
    writeJob(textJob("", "中", "blank head"));
    clock.advance(80);
    EXPECT_EQ(view.caption, "blank head");
}

TEST_F(JobPollerTest, StopJobRestartsAtEveryPollAndNeverAnswers) {
    writeJob(stopJob());
    confirm();
    clock.advance(2000);
    // One start per poll: 25 polls in 2 s.
    EXPECT_EQ(view.captionsSet, 25);
    EXPECT_EQ(view.caption, "　　");
    EXPECT_EQ(view.windowBack, 1);
    EXPECT_EQ(logic.engine().LMX(), windowWidth);
    EXPECT_FALSE(answerBytes(AnswerKind::Next));
    EXPECT_FALSE(answerBytes(AnswerKind::End));
}

TEST_F(JobPollerTest, TornJobIsNotStartedAndIsTriedAgain) {
    startJob(textJob(" 1 ", "中", "one"));
    // Caught while being written: line 1 of the next job and a few lines more.
    ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), " 2 \r\n\x89\xE6\x91\x9C\r\n\r\n"));
    clock.advance(400);
    EXPECT_EQ(view.caption, "one");
    EXPECT_EQ(logic.poller().LastJobHead(), " 1 ");
    EXPECT_EQ(logic.poller().LMJobLine()[1], "文字");
    writeJob(textJob(" 2 ", "中", "two"));
    clock.advance(80);
    EXPECT_EQ(view.caption, "two");
    EXPECT_EQ(logic.poller().LastJobHead(), " 2 ");
}

TEST_F(JobPollerTest, AMissingJobFileForgetsTheLastJob) {
    startJob(textJob(" 0 ", "中", "first show"));
    // The control program is closed and started again: its job files are deleted...
    exchange.deleteSet(ExchangeSet::Jobs);
    clock.advance(80);
    EXPECT_EQ(logic.poller().LastJobHead(), "");
    // ...and the next show's row 0 has the same line 1.
    writeJob(textJob(" 0 ", "中", "second show"));
    clock.advance(80);
    EXPECT_EQ(view.caption, "second show");
}

TEST_F(JobPollerTest, AnUnreadableJobFileKeepsTheLastJob) {
    startJob(textJob(" 0 ", "中", "first"));
    // An empty file is what a poll sees while the writer has just opened it.
    ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), ""));
    clock.advance(80);
    EXPECT_EQ(logic.poller().LastJobHead(), " 0 ");
    writeJob(textJob(" 0 ", "中", "again"));
    clock.advance(400);
    EXPECT_EQ(view.caption, "first");
}

TEST_F(JobPollerTest, RemovingTheJobFileDoesNotStopTheItem) {
    startJob(textJob(" 0 ", "速く", "ABC"));
    std::filesystem::remove(exchange.jobPath(7));
    EXPECT_TRUE(answerTime(AnswerKind::Next, 2000));
    EXPECT_TRUE(answerTime(AnswerKind::End, 5000));
}

TEST_F(JobPollerTest, AnEndJobFromBeforeTheStartIsSkippedAndALaterOneEnds) {
    // "End all" left its job in the file an hour before this display was started again.
    writeJob(endJob());
    const auto path = exchange.jobPath(7);
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - 1h);
    confirm();
    clock.advance(1000);
    EXPECT_EQ(view.unloads, 0);
    EXPECT_TRUE(logic.timer3().isEnabled());
    // The same bytes written again after the start are a new end command.
    writeJob(endJob());
    clock.advance(80);
    EXPECT_EQ(view.unloads, 1);
    EXPECT_FALSE(logic.timer3().isEnabled());
}

class DisplayNumberTest : public DisplayFixture, public ::testing::WithParamInterface<int> {};

TEST_P(DisplayNumberTest, UsesTheFilesOfItsNumber) {
    const int number = GetParam();
    writeJob(textJob(" 5 ", "速く", "ABC"), number);
    writeJob(textJob(" 6 ", "速く", "other"), 7);
    confirm(static_cast<std::int16_t>(number));
    ASSERT_TRUE(runUntilStarted(" 5 "));
    ASSERT_TRUE(answerTime(AnswerKind::Next, 2000, number));
    EXPECT_EQ(answerBytes(AnswerKind::Next, number), " 5 ,\x8E\x9F\x82\xD6\r\n");
    ASSERT_TRUE(answerTime(AnswerKind::End, 5000, number));
    EXPECT_EQ(exchange.answerPath(AnswerKind::End, number).filename(),
              "LMPEnd" + std::to_string(number) + ".ans");
    EXPECT_FALSE(answerBytes(AnswerKind::Next, 7));
}

INSTANTIATE_TEST_SUITE_P(Numbers, DisplayNumberTest, ::testing::Values(0, 12, -3));

TEST_F(JobPollerTest, AnswersEchoLineOneAsRead) {
    startJob(textJob("  7\t", "速く", "A"));
    ASSERT_TRUE(answerTime(AnswerKind::Next, 2000));
    EXPECT_EQ(answerBytes(AnswerKind::Next), "  7\t,\x8E\x9F\x82\xD6\r\n");
}

TEST_F(JobPollerTest, AnswersThatCannotBeWrittenAreDropped) {
    startJob(textJob(" 0 ", "速く", "ABC"));
    std::filesystem::create_directory(exchange.answerPath(AnswerKind::Next, 7));
    clock.advance(5000);
    EXPECT_TRUE(answerBytes(AnswerKind::End));
    EXPECT_FALSE(logic.timer2().isEnabled());
}

// From "OK" until the display ends, its presence file is made again whenever it is gone.
TEST_F(JobPollerTest, PresenceLastsFromOkUntilTheDisplayEnds) {
    clock.attach(logic.presenceTimer());
    const std::filesystem::path presence = exchange.presencePath(7);
    clock.advance(2000);
    EXPECT_FALSE(std::filesystem::exists(presence));
    confirm();
    EXPECT_TRUE(std::filesystem::exists(presence));
    std::filesystem::remove(presence);
    clock.advance(500);
    EXPECT_TRUE(std::filesystem::exists(presence));
    // It names the job it shows, so that the control program sees an urgent text arrive.
    EXPECT_EQ(exchange.presenceLife(7).value_or(SignOfLife{}).job, "");
    startJob(textJob(" 9000 ", "中", "地震です"));
    clock.advance(500);
    EXPECT_EQ(exchange.presenceLife(7).value_or(SignOfLife{}).job, " 9000 ");
    startJob(job("-1", "終了", "左へ", "中"));
    std::filesystem::remove(presence);
    clock.advance(2000);
    EXPECT_FALSE(std::filesystem::exists(presence));
}

} // namespace
} // namespace lm
