#include "DisplayFixture.h"

#include <string>
#include <vector>

namespace lm {
namespace {

using test::DisplayFixture;

// The file system reports each write of the job file; the poll runs at once instead of up to
// 80 ms later, under the same rules as every poll. The tests report 10 ms after a poll and let
// no time pass, so whatever starts is the report's doing.
class JobNoticeTest : public DisplayFixture {
protected:
    void report(const std::vector<std::string>& names = {"LMData7.ini"}) {
        logic.exchangeFilesChanged(names);
    }
};

TEST_F(JobNoticeTest, AJobCompletedByASecondWriteStartsOnceOnTheSecondReport) {
    startJob(textJob(" 1 ", "中", "いまの案内"));
    clock.advance(10);
    const JobLines next = textJob(" 2 ", "中", "つぎの案内です");
    std::string whole;
    lineFile::encode(std::vector<std::string>(next.begin(), next.end()), whole);

    ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), whole.substr(0, whole.size() / 2)));
    report();
    EXPECT_EQ(view.caption, "いまの案内");
    EXPECT_EQ(view.captionsSet, 1);

    ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), whole));
    report();
    EXPECT_EQ(view.caption, "つぎの案内です");
    clock.advance(500);
    EXPECT_EQ(view.captionsSet, 2);
}

TEST_F(JobNoticeTest, ABurstStartsNothingTwiceAndOtherFilesStartNothing) {
    // Before "OK" nothing polls, so no report does either.
    writeJob(stopJob());
    report();
    EXPECT_EQ(view.captionsSet, 0);

    startJob(textJob(" 1 ", "中", "いまの案内"));
    clock.advance(10);
    // A stop job starts again at every poll, so every poll shows.
    writeJob(stopJob());
    report({"LMData8.ini", "LMPNext7.ans", "LMPEnd7.ans", "LMAlive7.dat", "LMData07.ini"});
    EXPECT_EQ(view.captionsSet, 1);
    report({"LMData7.ini", "LMAlive7.dat", "LMData7.ini", "LMData7.ini"});
    EXPECT_EQ(view.captionsSet, 2);
    EXPECT_EQ(view.caption, "　　");

    writeJob(textJob(" 2 ", "中", "つぎの案内です"));
    report({"LMData7.ini", "LMData7.ini"});
    EXPECT_EQ(view.captionsSet, 3);
    EXPECT_EQ(view.caption, "つぎの案内です");
}

} // namespace
} // namespace lm
