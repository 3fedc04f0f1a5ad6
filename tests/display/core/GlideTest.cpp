#include "Glide.h"

#include "DisplayFixture.h"

#include <optional>

namespace lm {
namespace {

using test::DisplayFixture;
using Part = Glide::Part;

// Where the sign is painted, ms after its job started, in a window 15360 twips wide.
struct GlideRow {
    const char* name;
    JobLines job;
    std::int64_t atMs;
    Part part;
    std::optional<int> left;
    // A window resized to this width just before atMs (0: none).
    int resizedTo = 0;
    // The position asked for this long after atMs, while the next tick is late.
    std::int64_t lateMs = 0;
};

JobLines job(const std::string& kind, const std::string& movement, const std::string& speed) {
    return {" 7 ", kind, "", movement, "", "白", "暗い緑", speed, "ABC", "p.jpg"};
}
const JobLines fastText = job("文字", "左へ", "速く");          // step 1280
const JobLines movingPicture = job("画像", "左へ", "やや遅く"); // step 384, 300 ms
const JobLines stillPicture = job("画像", "移動しない", "中");

const GlideRow rows[] = {
    {"textAtItsStart", fastText, 0, Part::Label, 15360},
    {"textHalfwayToTheFirstTick", fastText, 50, Part::Label, 14720},
    {"textAtTheFirstTick", fastText, 100, Part::Label, 14080},
    {"textHalfwayToTheSecondTick", fastText, 150, Part::Label, 13440},
    {"textAtTheCrossingTick", fastText, 1200, Part::Label, 0},
    {"textJustBeforeTheNextTick", fastText, 1299, Part::Label, -1267},
    {"textWaitsForALateTickWhereItWillPutIt", fastText, 1200, Part::Label, -1280, 0, 150},
    {"textAtItsLastTick", fastText, 3900, Part::None, std::nullopt},
    {"textAfterItsLastTickStands", fastText, 3950, Part::None, std::nullopt},
    {"textKeepsItsStepsAfterAResize", fastText, 150, Part::Label, 13440, 7680},
    {"textAfterAResizeAndTheNextTick", fastText, 250, Part::Label, 12160, 7680},
    {"movingPictureBeforeItsFirstTick", movingPicture, 150, Part::None, std::nullopt},
    {"movingPictureOnShowGlidesOneStepBehind", movingPicture, 450, Part::Image1, 15168},
    {"movingPictureAfterTheSwap", movingPicture, 750, Part::Image2, 14784},
    {"movingPictureAtItsLastTick", movingPicture, 79 * 300 + 150, Part::None, std::nullopt},
    {"stillPicture", stillPicture, 1050, Part::None, std::nullopt},
    {"stopJob", stopJob(), 50, Part::None, std::nullopt},
};

class GlideTest : public DisplayFixture, public ::testing::WithParamInterface<GlideRow> {
protected:
    GlideTest() {
        logic.engine().setMovedHandler(
            [this] { glide.plan(logic.engine(), logic.poller().LMJobLine()); });
    }

    Glide glide;
};

TEST_P(GlideTest, PaintsBetweenTheTicksPositions) {
    const GlideRow& row = GetParam();
    const std::int64_t start = startJob(row.job);
    if (row.resizedTo != 0) {
        clock.advanceTo(start + row.atMs - 1);
        logic.setLMScreenWidth(row.resizedTo);
    }
    clock.advanceTo(start + row.atMs);
    EXPECT_EQ(glide.part(), row.part);
    EXPECT_EQ(glide.leftAt((clock.now() + row.lateMs) * 1000), row.left);
    // At every tick the painted position is the tick's own.
    if (row.part == Part::Label && row.atMs % 100 == 0 && row.lateMs == 0) {
        EXPECT_EQ(row.left, logic.engine().LMX());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, GlideTest, ::testing::ValuesIn(rows),
                         [](const ::testing::TestParamInfo<GlideRow>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace lm
