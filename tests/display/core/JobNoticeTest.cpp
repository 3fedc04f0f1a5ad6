#include "DisplayFixture.h"

#include <string>
#include <vector>

namespace lm {
namespace {

using test::DisplayFixture;

// Reported writes of the job file run the poll at once, under the same rules as every poll.
// The reports come 10 ms after a poll and no time passes, so whatever starts is their doing.
class JobNoticeTest : public DisplayFixture {};

TEST_F(JobNoticeTest, AJobCompletedByASecondWriteStartsOnceOnTheSecondReport) {
    const std::vector<std::string> report{"LMData7.ini"};
    startJob(textJob(" 1 ", "中", "いまの案内"));
    clock.advance(10);
    std::string whole;
    const JobLines next = textJob(" 2 ", "中", "つぎの案内です");
    lineFile::encode(std::vector<std::string>(next.begin(), next.end()), whole);

    ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), whole.substr(0, whole.size() / 2)));
    logic.exchangeFilesChanged(report);
    EXPECT_EQ(view.caption, "いまの案内");
    ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), whole));
    logic.exchangeFilesChanged(report);
    EXPECT_EQ(view.caption, "つぎの案内です");
    clock.advance(500);
    EXPECT_EQ(view.captionsSet, 2);
}

TEST_F(JobNoticeTest, ABurstStartsNothingTwiceAndOtherFilesStartNothing) {
    // A stop job starts again at every poll, so every poll shows; before "OK" none runs.
    writeJob(stopJob());
    logic.exchangeFilesChanged({"LMData7.ini"});
    EXPECT_EQ(view.captionsSet, 0);
    startJob(stopJob());
    clock.advance(10);
    const int starts = view.captionsSet;
    logic.exchangeFilesChanged({"LMData8.ini", "LMPNext7.ans", "LMAlive7.dat", "LMData07.ini"});
    EXPECT_EQ(view.captionsSet, starts);
    logic.exchangeFilesChanged({"LMData7.ini", "LMAlive7.dat", "LMData7.ini"});
    EXPECT_EQ(view.captionsSet, starts + 1);
}

} // namespace
} // namespace lm
