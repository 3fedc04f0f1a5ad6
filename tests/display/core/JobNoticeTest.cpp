#include "DisplayFixture.h"

#include <string>

namespace lm {
namespace {

using test::DisplayFixture;

// The file system reports each write of the job file; the poll runs at once instead of up to
// 80 ms later, under the same rules as every poll.
class JobNoticeTest : public DisplayFixture {
protected:
    // Reports the job file's change and lets the notice run. The tests call it 10 ms after a
    // poll, so what happens is the notice's doing, not the next poll's.
    void notifyAndRun(int reports = 1) {
        for (int i = 0; i < reports; ++i) {
            logic.exchangeFileChanged("LMData7.ini");
        }
        clock.advance(ChangeNotices::delayMs);
    }
};

TEST_F(JobNoticeTest, AJobCompletedByASecondWriteStartsOnceOnTheSecondNotice) {
    startJob(textJob(" 1 ", "中", "いまの案内"));
    clock.advance(10);
    const JobLines next = textJob(" 2 ", "中", "つぎの案内です");
    std::string whole;
    lineFile::encode(std::vector<std::string>(next.begin(), next.end()), whole);

    ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), whole.substr(0, whole.size() / 2)));
    notifyAndRun();
    EXPECT_EQ(view.caption, "いまの案内");
    EXPECT_EQ(view.captionsSet, 1);

    ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), whole));
    notifyAndRun();
    EXPECT_EQ(view.caption, "つぎの案内です");
    clock.advance(500);
    EXPECT_EQ(view.captionsSet, 2);
}

TEST_F(JobNoticeTest, ABurstStartsNothingTwiceAndOtherFilesWakeNothing) {
    // Before "OK" nothing polls, so nothing is brought forward either.
    writeJob(stopJob());
    logic.exchangeFileChanged("LMData7.ini");
    EXPECT_FALSE(logic.noticeTimer().isEnabled());

    startJob(textJob(" 1 ", "中", "いまの案内"));
    clock.advance(10);
    for (const char* other : {"LMData8.ini", "LMPNext7.ans", "LMPEnd7.ans", "LMAlive7.dat"}) {
        logic.exchangeFileChanged(other);
    }
    EXPECT_FALSE(logic.noticeTimer().isEnabled());

    // A stop job starts again at every poll: a burst of reports is one poll.
    writeJob(stopJob());
    notifyAndRun(5);
    EXPECT_EQ(view.captionsSet, 2);
    EXPECT_EQ(view.caption, "　　");

    writeJob(textJob(" 2 ", "中", "つぎの案内です"));
    notifyAndRun(5);
    EXPECT_EQ(view.captionsSet, 3);
    EXPECT_EQ(view.caption, "つぎの案内です");
}

} // namespace
} // namespace lm
