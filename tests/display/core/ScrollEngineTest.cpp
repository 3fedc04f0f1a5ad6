#include "ScrollEngine.h"

#include "DisplayFixture.h"

#include <filesystem>

namespace lm {
namespace {

using test::DisplayFixture;
using Picture = SignView::Picture;

// Answer lines in code page 932: " 7 ,次へ" and " 7 ,表示終了".
const std::string nextSeven = " 7 ,\x8E\x9F\x82\xD6\r\n";
const std::string endSeven = " 7 ,\x95\x5C\x8E\xA6\x8F\x49\x97\xB9\r\n";

class ScrollEngineTest : public DisplayFixture {
protected:
    // Runs on while Timer2 runs and returns the moment it stopped.
    std::int64_t stopTime(std::int64_t ms = 60000) {
        EXPECT_TRUE(clock.advanceUntil([&] { return !logic.timer2().isEnabled(); }, ms));
        return clock.now();
    }

    const ScrollEngine& engine() { return logic.engine(); }
};

TEST_F(ScrollEngineTest, ThreeCharacterTextAtFastAnswersAtTicks12And39AndStopsAt40) {
    const std::int64_t start = startJob(textJob(" 7 ", "速く", "ABC"));
    EXPECT_EQ(engine().LMTextWidth(), 35446);
    EXPECT_EQ(engine().LMMoveStep(), 1280);
    EXPECT_EQ(view.label.left, windowWidth);
    EXPECT_EQ(logic.timer2().interval(), 100);

    EXPECT_EQ(answerTime(AnswerKind::Next, 5000), start + 12 * 100);
    EXPECT_EQ(engine().LMX(), 0);
    EXPECT_EQ(answerBytes(AnswerKind::Next), nextSeven);
    EXPECT_FALSE(answerBytes(AnswerKind::End));

    EXPECT_EQ(answerTime(AnswerKind::End, 5000), start + 39 * 100);
    EXPECT_EQ(engine().LMX(), -34560);
    EXPECT_EQ(view.label.left, -34560);
    EXPECT_EQ(answerBytes(AnswerKind::End), endSeven);

    EXPECT_EQ(stopTime(), start + 40 * 100);
    // The stop tick leaves the last frame standing.
    EXPECT_EQ(view.label.left, -34560);
}

TEST_F(ScrollEngineTest, TextSetsUpTheLabelAndItsColours) {
    view.pictures[0].visible = true;
    view.pictures[1].visible = true;
    startJob(job(" 7 ", "文字", "移動しない", "中", "ようこそ", "", "明るい黄色", "暗い赤"));
    EXPECT_TRUE(view.label.visible);
    EXPECT_FALSE(view.pictures[0].visible);
    EXPECT_FALSE(view.pictures[1].visible);
    EXPECT_EQ(view.caption, "ようこそ");
    EXPECT_EQ(view.labelFore, 14);
    EXPECT_EQ(view.labelBack, 4);
    EXPECT_EQ(view.windowBack, 4);
    // Four characters, counted as characters and not as bytes.
    EXPECT_EQ(engine().LMTextWidth(), 47261);
    EXPECT_EQ(engine().LMMoveStep(), 427);
}

struct SpeedCase {
    const char* word;
    int textStep;
    int pictureStep;
};

class SpeedTableRowTest : public ScrollEngineTest,
                          public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(SpeedTableRowTest, StepIsTheWidthOverTheDivisorHalvesToEven) {
    const SpeedCase& row = GetParam();
    startJob(textJob(" 1 ", row.word, "ABC"));
    EXPECT_EQ(engine().LMMoveStep(), row.textStep);
    startJob(job(" 2 ", "画像", "移動しない", row.word));
    EXPECT_EQ(engine().LMMoveStep(), row.pictureStep);
    startJob(job(" 3 ", "画像", "左へ", row.word));
    EXPECT_EQ(engine().LMPMoveStep(), row.pictureStep);
}

// 15360 / 47 = 326.8; 15360 / 36 = 426.67.
INSTANTIATE_TEST_SUITE_P(
    Words, SpeedTableRowTest,
    ::testing::Values(SpeedCase{"速く", 1280, 1536}, SpeedCase{"やや速く", 640, 768},
                      SpeedCase{"中", 427, 512}, SpeedCase{"やや遅く", 327, 384},
                      SpeedCase{"遅く", 256, 307}, SpeedCase{"ゆっくり", 256, 307},
                      SpeedCase{"中 ", 256, 307}));

TEST_F(ScrollEngineTest, UnknownSpeedWordMovesTheTextWithStep256) {
    const std::int64_t start = startJob(textJob(" 7 ", "とても速く", "ABC"));
    EXPECT_EQ(engine().LMMoveStep(), 256);
    EXPECT_EQ(answerTime(AnswerKind::Next, 10000), start + 60 * 100);
}

TEST_F(ScrollEngineTest, MovingPictureAtRatherSlowAnswersAtTicks40And79AndStopsAt80) {
    const std::int64_t start = startJob(job(" 7 ", "画像", "左へ", "やや遅く", "", "pic.jpg"));
    EXPECT_EQ(engine().LMPMoveStep(), 384);
    EXPECT_EQ(engine().LMPictureWidth(), windowWidth);
    EXPECT_EQ(logic.timer2().interval(), 300);
    EXPECT_FALSE(view.label.visible);
    EXPECT_TRUE(view.pictures[0].visible);
    EXPECT_TRUE(view.pictures[1].visible);
    EXPECT_EQ(view.pictures[0].left, windowWidth);
    EXPECT_EQ(view.pictures[1].left, windowWidth);
    EXPECT_EQ(view.windowBack, 2);
    EXPECT_EQ(view.pictures[0].picture, dir.path() / "data" / "pic.jpg");
    EXPECT_EQ(view.pictures[1].picture, dir.path() / "data" / "pic.jpg");

    EXPECT_EQ(answerTime(AnswerKind::Next, 30000), start + 40 * 300);
    EXPECT_EQ(answerBytes(AnswerKind::Next), nextSeven);
    EXPECT_EQ(answerTime(AnswerKind::End, 30000), start + 79 * 300);
    EXPECT_EQ(answerBytes(AnswerKind::End), endSeven);
    EXPECT_EQ(stopTime(), start + 80 * 300);
}

TEST_F(ScrollEngineTest, MovingPictureShowsTheControlMovedOneTickBefore) {
    startJob(job(" 7 ", "画像", "左へ", "速く"));
    ASSERT_EQ(engine().LMImageDisplay(), 0);
    clock.advance(300);
    // Tick 1: Image1 (still beyond the edge) shows, Image2 is hidden and moved.
    EXPECT_TRUE(view.pictures[0].visible);
    EXPECT_FALSE(view.pictures[1].visible);
    EXPECT_EQ(view.pictures[1].left, windowWidth - 1536);
    EXPECT_EQ(engine().LMImageDisplay(), 1);
    clock.advance(300);
    EXPECT_TRUE(view.pictures[1].visible);
    EXPECT_FALSE(view.pictures[0].visible);
    EXPECT_EQ(view.pictures[1].left, windowWidth - 1536);
    EXPECT_EQ(view.pictures[0].left, windowWidth - 2 * 1536);
    EXPECT_EQ(engine().LMImageDisplay(), 0);
}

TEST_F(ScrollEngineTest, ImageDisplayCarriesOverToTheNextPicture) {
    startJob(job(" 1 ", "画像", "左へ", "速く"));
    clock.advance(300);
    ASSERT_EQ(engine().LMImageDisplay(), 1);
    startJob(job(" 2 ", "画像", "左へ", "速く"));
    EXPECT_EQ(engine().LMImageDisplay(), 1);
    clock.advance(300);
    // The first tick of this picture shows Image2.
    EXPECT_TRUE(view.pictures[1].visible);
    EXPECT_FALSE(view.pictures[0].visible);
}

TEST_F(ScrollEngineTest, StillPictureAtMediumAnswersAtTicks30And59AndStopsAt60) {
    const std::int64_t start =
        startJob(job(" 7 ", "画像", "移動しない", "中", "", "dir\\still.bmp"));
    EXPECT_EQ(engine().LMMoveStep(), 512);
    EXPECT_EQ(engine().LMTextWidth(), windowWidth);
    EXPECT_FALSE(view.label.visible);
    EXPECT_TRUE(view.pictures[0].visible);
    EXPECT_FALSE(view.pictures[1].visible);
    EXPECT_EQ(view.pictures[0].left, 0);
    EXPECT_EQ(view.pictures[0].picture, dir.path() / "data" / "still.bmp");
    EXPECT_FALSE(view.pictures[1].picture);
    // The window background is left as it was.
    EXPECT_FALSE(view.windowBack);

    EXPECT_EQ(answerTime(AnswerKind::Next, 10000), start + 3000);
    EXPECT_EQ(answerTime(AnswerKind::End, 10000), start + 5900);
    EXPECT_EQ(stopTime(), start + 6000);
}

TEST_F(ScrollEngineTest, StillPictureAnswersItsEndAlthoughTheWindowWidened) {
    const std::int64_t start = startJob(job(" 7 ", "画像", "移動しない", "中"));
    clock.advance(1000);
    logic.setLMScreenWidth(2 * windowWidth);
    EXPECT_EQ(answerTime(AnswerKind::End, 10000), start + 5900);
    EXPECT_EQ(stopTime(), start + 6000);
}

TEST_F(ScrollEngineTest, ANewJobBetweenTheAnswersCutsTheTextOffWithoutEndAnswer) {
    startJob(textJob(" 7 ", "速く", "ABC"));
    ASSERT_TRUE(answerTime(AnswerKind::Next, 5000));
    clock.advance(500);
    const std::int64_t restart = startJob(textJob(" 8 ", "速く", "XYZ"));
    EXPECT_EQ(engine().LMX(), windowWidth);
    EXPECT_EQ(view.caption, "XYZ");
    // The first end answer is the new item's, at its own 39th tick.
    EXPECT_EQ(answerTime(AnswerKind::End, 10000), restart + 3900);
    EXPECT_EQ(answerBytes(AnswerKind::End), " 8 ,\x95\x5C\x8E\xA6\x8F\x49\x97\xB9\r\n");
}

TEST_F(ScrollEngineTest, AJobStartRestartsTheTickCountdown) {
    startJob(textJob(" 1 ", "速く", "ABC"));
    clock.advance(50);
    // Written between two ticks of the first item; its ticks count from its own start.
    const std::int64_t restart = startJob(textJob(" 2 ", "速く", "ABC"));
    EXPECT_EQ(answerTime(AnswerKind::Next, 5000), restart + 1200);
}

TEST_F(ScrollEngineTest, EmptyTextGivesOnlyTheEndAnswer) {
    const std::int64_t start = startJob(textJob(" 7 ", "速く", ""));
    EXPECT_EQ(engine().LMTextWidth(), 0);
    // Label's left edge within one step of the window's left edge: tick 11.
    EXPECT_EQ(answerTime(AnswerKind::End, 5000), start + 1100);
    EXPECT_EQ(stopTime(), start + 1200);
    clock.advance(5000);
    EXPECT_FALSE(answerBytes(AnswerKind::Next));
}

TEST_F(ScrollEngineTest, UnknownColourWordKeepsThePreviousColours) {
    startJob(job(" 1 ", "文字", "", "中", "A", "", "白", "暗い青"));
    startJob(job(" 2 ", "文字", "", "中", "B", "", "白 ", "むらさき"));
    EXPECT_EQ(view.caption, "B");
    EXPECT_EQ(view.labelFore, 15);
    EXPECT_EQ(view.labelBack, 1);
    EXPECT_EQ(view.windowBack, 1);
}

TEST_F(ScrollEngineTest, ColorIndexFindsTheFirstExactMatch) {
    EXPECT_EQ(ScrollEngine::ColorIndex("黒"), 0);
    EXPECT_EQ(ScrollEngine::ColorIndex("明るい灰色"), 7);
    EXPECT_EQ(ScrollEngine::ColorIndex("暗い灰色"), 8);
    EXPECT_EQ(ScrollEngine::ColorIndex("白"), 15);
    EXPECT_EQ(ScrollEngine::ColorIndex("シロ"), 16);
    EXPECT_EQ(ScrollEngine::ColorIndex(""), 16);
}

TEST_F(ScrollEngineTest, UnknownKindOrMovementStartsNothing) {
    startJob(textJob(" 1 ", "速く", "ABC"));
    clock.advance(250);
    const int left = view.label.left;
    const int loaded = view.picturesLoaded;
    startJob(job(" 2 ", "動画", "左へ", "速く"));
    startJob(job(" 3 ", "画像", "右へ", "速く"));
    EXPECT_EQ(logic.poller().LastJobHead(), " 3 ");
    EXPECT_EQ(view.picturesLoaded, loaded);
    EXPECT_EQ(view.caption, "ABC");
    EXPECT_TRUE(view.label.visible);
    // The text goes on moving, step by step.
    EXPECT_TRUE(logic.timer2().isEnabled());
    EXPECT_LT(view.label.left, left);
    EXPECT_EQ((windowWidth - view.label.left) % 1280, 0);
}

TEST_F(ScrollEngineTest, TextAfterStillPictureHidesBothPictures) {
    startJob(job(" 1 ", "画像", "移動しない", "中"));
    startJob(textJob(" 2 ", "中", "ABC"));
    EXPECT_TRUE(view.label.visible);
    EXPECT_FALSE(view.pictures[0].visible);
    EXPECT_FALSE(view.pictures[1].visible);
}

TEST_F(ScrollEngineTest, EndJobEndsWithoutAnswerEvenInTheMiddleOfAnItem) {
    startJob(textJob(" 7 ", "速く", "ABC"));
    ASSERT_TRUE(answerTime(AnswerKind::Next, 5000));
    std::filesystem::remove(exchange.answerPath(AnswerKind::Next, 7));
    writeJob(endJob());
    clock.advance(100);
    EXPECT_EQ(view.unloads, 1);
    EXPECT_FALSE(logic.timer1().isEnabled());
    EXPECT_FALSE(logic.timer2().isEnabled());
    EXPECT_FALSE(logic.timer3().isEnabled());
    clock.advance(10000);
    EXPECT_FALSE(answerBytes(AnswerKind::Next));
    EXPECT_FALSE(answerBytes(AnswerKind::End));
    EXPECT_EQ(view.unloads, 1);
}

TEST_F(ScrollEngineTest, LongTextWidthIsHeldInRange) {
    // 150 000 characters: W × n / 1.3 lies far beyond 32 bits.
    const std::int64_t start = startJob(textJob(" 7 ", "速く", std::string(150000, 'x')));
    EXPECT_EQ(engine().LMTextWidth(), 0x3FFFFFFF);
    EXPECT_EQ(answerTime(AnswerKind::Next, 5000), start + 1200);
    clock.advance(5000);
    EXPECT_TRUE(logic.timer2().isEnabled());
    EXPECT_FALSE(answerBytes(AnswerKind::End));
}

} // namespace
} // namespace lm
