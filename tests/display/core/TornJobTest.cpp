#include "DisplayFixture.h"

#include <string>

namespace lm {
namespace {

using test::DisplayFixture;

// The job file caught while the control program writes it: a poll may find any first part of
// its bytes. Every cut of a text job and of a picture job is tried.
JobLines nextJob(bool picture, const std::string& head) {
    if (picture) {
        return {head, "画像", "", "移動しない", "", "白", "黒", "中", "", "photo_2024.jpg"};
    }
    return {head, "文字", "", "左へ", "", "白", "暗い緑", "中", "つぎの案内です", ""};
}

std::string bytesOf(const JobLines& lines) {
    std::string bytes;
    lineFile::encode(std::vector<std::string>(lines.begin(), lines.end()), bytes);
    return bytes;
}

class TornJobTest : public DisplayFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(TornJobTest, OnlyTheWholeJobStartsWhereverTheWriterPauses) {
    const bool picture = GetParam();
    const std::size_t size = bytesOf(nextJob(picture, " 2 ")).size();
    for (std::size_t cut = 1; cut < size; ++cut) {
        SCOPED_TRACE("cut after byte " + std::to_string(cut));
        const std::string round = std::to_string(cut);
        startJob(textJob(" 1." + round + " ", "中", "いまの案内"));
        const JobLines running = logic.poller().LMJobLine();
        const int picturesBefore = view.picturesLoaded;
        const JobLines next = nextJob(picture, " 2." + round + " ");
        const std::string whole = bytesOf(next);

        // The writer stops after the first part for longer than two polls.
        ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), whole.substr(0, cut)));
        clock.advance(200);
        // Only a cut just before the last line's LF holds the whole job, and may start it.
        const bool waiting = logic.poller().LMJobLine() == running;
        ASSERT_TRUE(waiting || logic.poller().LMJobLine() == next) << "started a part of it";
        if (waiting) {
            EXPECT_EQ(view.caption, "いまの案内");
            EXPECT_EQ(view.picturesLoaded, picturesBefore);
        }

        // Then it writes the rest: the next poll starts the whole job.
        ASSERT_TRUE(lineFile::writeBytes(exchange.jobPath(7), whole));
        clock.advance(80);
        ASSERT_EQ(logic.poller().LMJobLine(), next);
        if (picture) {
            ASSERT_TRUE(view.pictures[0].picture);
            EXPECT_EQ(view.pictures[0].picture->filename(), "photo_2024.jpg");
        } else {
            EXPECT_EQ(view.caption, "つぎの案内です");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, TornJobTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& kind) {
                             return std::string(kind.param ? "Picture" : "Text");
                         });

} // namespace
} // namespace lm
