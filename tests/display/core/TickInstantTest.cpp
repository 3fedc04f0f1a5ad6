#include "DisplayFixture.h"
#include "ThisComputer.h"

#include <optional>
#include <vector>

namespace lm {
namespace {

using test::DisplayFixture;

// An item in the window of 15360 twips, from first principles: its tick, its step and the tick
// at which its head reaches the left edge.
struct Item {
    JobLines job;
    int intervalMs;
    int step;
    int nextTick;
};
const Item text{{" 7 ", "文字", "", "左へ", "", "白", "黒", "速く", "ABC", ""}, 100, 1280, 12};
const Item moving{{" 7 ", "画像", "", "左へ", "", "白", "黒", "速く", "", "p"}, 300, 1536, 10};
const Item still{{" 7 ", "画像", "", "移動しない", "", "白", "黒", "速く", "", "p"}, 100, 1536, 10};

// Where the record comes from, and how the clocks stand.
enum class Source { Other, OtherUnsynced, OtherError3ms, OwnUnsynced, Here, HereStepped, Reused };
const ClockState synced{true, 1000};
const ClockState unsynced{false, 16'000'000};

// The job arrives at 6 s, lateMs after the instant of its record (none: a record without one).
struct TickRow {
    const char* name;
    Item item;
    std::optional<std::int64_t> lateMs;
    Source source;
    bool used;
    std::int64_t heldUpMs = 0; // a handler is held up this long at 250 ms
};

const TickRow rows[] = {
    {"beforeTheInstant", text, -40, Source::Other, true},
    {"oneIntervalLate", text, 100, Source::Other, true},
    {"severalIntervalsLate", text, 350, Source::Other, true},
    {"moreThanASecondLate", text, 1200, Source::Other, false},
    {"movingPictureLate", moving, 650, Source::Other, true},
    {"stillPictureASecondLateAnswersAtOnce", still, 1000, Source::Other, true},
    {"aHeldUpTickCatchesUpWithItsNextAnswer", still, 0, Source::Other, true, 800},
    {"recordWithoutInstant", text, std::nullopt, Source::Other, false},
    {"otherComputerUnsynchronised", text, 100, Source::OtherUnsynced, false},
    {"otherComputerErrorAbove2ms", text, 100, Source::OtherError3ms, false},
    {"ownClockUnsynchronised", text, 100, Source::OwnUnsynced, false},
    {"thisComputerAlthoughUnsynchronised", text, 100, Source::Here, true},
    {"clockSteppedWithin10sEvenOnThisComputer", text, 100, Source::HereStepped, false},
    {"recordUsedBefore", text, 100, Source::Reused, false},
};

class TickInstantTest : public DisplayFixture, public ::testing::WithParamInterface<TickRow> {
protected:
    void writeRecord(const std::string& head, std::optional<std::int64_t> atUs) {
        const Source source = GetParam().source;
        const bool here = source == Source::Here || source == Source::HereStepped;
        const ClockState recordClock = here                              ? unsynced
                                       : source == Source::OtherUnsynced ? ClockState{false, 1000}
                                       : source == Source::OtherError3ms ? ClockState{true, 3000}
                                                                         : synced;
        ASSERT_TRUE(exchange.writeInstant(
            exchange.startInstantPath(7),
            {7, head, "s-1", atUs, here ? thisComputer::hostName() : "other-pc",
             here ? thisComputer::bootId() : "other-boot", recordClock}));
        writeJob(head == " 7 " ? GetParam().item.job : textJob(head, "速く", "earlier"));
        logic.exchangeFilesChanged({"LMData7.ini"});
    }
};

TEST_P(TickInstantTest, TicksCountFromTheInstantWhenItCanBeTrusted) {
    const TickRow& row = GetParam();
    const std::int64_t interval = row.item.intervalMs;
    const bool ownUnsynced = row.source == Source::OwnUnsynced || row.source == Source::Here;
    wallClock.setState(ownUnsynced ? unsynced : synced);
    confirm();
    clock.advanceTo(1000);
    if (row.source == Source::HereStepped) {
        wallClock.stepReal(300'000);
        logic.refreshPresence();
    }
    if (row.source == Source::Reused) {
        writeRecord(" 5 ", wallClock.realUs()); // the same sequence, taken by another job
    }
    clock.advanceTo(6000);
    std::filesystem::remove(exchange.answerPath(AnswerKind::Next, 7));
    const std::int64_t realAtArrival = wallClock.realUs();
    std::vector<std::pair<std::int64_t, int>> moves; // (ms from the arrival, ticks shown)
    logic.engine().setMovedHandler([&] {
        const ScrollEngine& e = logic.engine();
        const int left = row.item.intervalMs == 300 ? e.LMXP() : e.LMX();
        moves.emplace_back(clock.now() - 6000, (windowWidth - left) / row.item.step);
    });
    writeRecord(" 7 ",
                row.lateMs ? std::optional(realAtArrival - *row.lateMs * 1000) : std::nullopt);

    // It stands where an item started at the instant (anchor, ms from the arrival) stands now.
    const std::int64_t anchor = row.used ? -*row.lateMs : 0;
    const std::int64_t caughtUp = anchor < 0 ? -anchor / interval : 0;
    ASSERT_EQ(moves, (std::vector<std::pair<std::int64_t, int>>{{0, caughtUp}}));
    const std::int64_t watchFrom = row.heldUpMs > 0 ? 250 : 0;
    clock.advanceTo(6000 + watchFrom);
    wallClock.holdUp(row.heldUpMs * 1000);
    ASSERT_TRUE(clock.advanceUntil(
        [&] { return std::filesystem::exists(exchange.answerPath(AnswerKind::Next, 7)); }, 5000));
    // The first tick after the start (or the hold-up) comes at its deadline and runs the ticks
    // missed meanwhile with it; then one tick at each deadline.
    const std::int64_t first = std::max<std::int64_t>(1, (watchFrom - anchor) / interval + 1);
    const std::int64_t nextDue = anchor + row.item.nextTick * interval;
    EXPECT_EQ(clock.now() - 6000,
              nextDue <= watchFrom ? std::max<std::int64_t>(0, nextDue)
                                   : std::max(anchor + first * interval, nextDue - row.heldUpMs));
    clock.advance(3 * interval);
    std::size_t i = 1;
    while (i < moves.size() && moves[i].first < watchFrom) {
        ++i;
    }
    ASSERT_LT(i, moves.size());
    EXPECT_EQ(moves[i], std::make_pair(anchor + first * interval,
                                       static_cast<int>(first + row.heldUpMs / interval)));
    for (++i; i < moves.size(); ++i) {
        const int k = moves[i - 1].second + 1;
        EXPECT_EQ(moves[i], std::make_pair(anchor + k * interval - row.heldUpMs, k));
    }

    // The next answer's own instant, for the display after this one.
    const std::optional<Instant> said = exchange.readInstant(exchange.nextInstantPath(7));
    ASSERT_TRUE(said);
    EXPECT_EQ(said->display, 7);
    EXPECT_EQ(said->head, " 7 ");
    EXPECT_EQ(said->atUs, realAtArrival + nextDue * 1000);
    EXPECT_EQ(said->host, thisComputer::hostName());
    EXPECT_EQ(said->clock.synchronised, !ownUnsynced && row.source != Source::HereStepped);
}

INSTANTIATE_TEST_SUITE_P(Rows, TickInstantTest, ::testing::ValuesIn(rows),
                         [](const ::testing::TestParamInfo<TickRow>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace lm
