#include "DisplayFixture.h"
#include "ThisComputer.h"

#include <optional>
#include <vector>

namespace lm {
namespace {

using test::DisplayFixture;

// An item as the window of 15360 twips runs it, from first principles: its tick, its step and
// the tick at which its head has reached the left edge.
struct Item {
    JobLines job;
    int intervalMs;
    int step;
    int nextTick;
};
const Item text{{" 7 ", "文字", "", "左へ", "", "白", "暗い緑", "速く", "ABC", ""}, 100, 1280, 12};
const Item moving{{" 7 ", "画像", "", "左へ", "", "白", "黒", "速く", "", "p.jpg"}, 300, 1536, 10};
const Item still{
    {" 7 ", "画像", "", "移動しない", "", "白", "黒", "速く", "", "p.jpg"}, 100, 1536, 10};

const ClockState synced{true, 1000};

// The job arrives at 6 s, lateMs after the instant in the record beside it.
struct TickRow {
    const char* name;
    Item item;
    std::optional<std::int64_t> lateMs; // < 0: before the instant; none: a record without one
    bool used;
    bool sameComputer = false;
    ClockState recordClock = synced;
    ClockState ownClock = synced;
    bool stepped = false;      // this computer's clock was stepped 5 s before
    bool sequenceUsed = false; // an earlier job used a record of the same sequence
    std::int64_t heldUpMs = 0; // the handler is held up this long at 250 ms
};

const TickRow rows[] = {
    {"beforeTheInstant", text, -40, true},
    {"oneIntervalLate", text, 100, true},
    {"severalIntervalsLate", text, 350, true},
    {"moreThanASecondLate", text, 1200, false},
    {"movingPictureLate", moving, 650, true},
    {"stillPictureASecondLateAnswersAtOnce", still, 1000, true},
    {"aTickHeldUpCatchesUpWithItsNextAnswer", still, 0, true, false, synced, synced, false, false,
     800},
    {"recordWithoutInstant", text, std::nullopt, false},
    {"otherComputerUnsynchronised", text, 100, false, false, {false, 1000}},
    {"otherComputerErrorAbove2ms", text, 100, false, false, {true, 3000}},
    {"ownClockUnsynchronised", text, 100, false, false, synced, {false, 1000}},
    {"sameComputerAlthoughUnsynchronised",
     text,
     100,
     true,
     true,
     {false, 16'000'000},
     {false, 16'000'000}},
    {"clockSteppedWithin10sEvenOnThisComputer", text, 100, false, true, synced, synced, true},
    {"recordUsedBefore", text, 100, false, false, synced, synced, false, true},
};

class TickInstantTest : public DisplayFixture, public ::testing::WithParamInterface<TickRow> {
protected:
    static constexpr std::int64_t arrival = 6000;

    // Ticks done, as the item's position tells them.
    int ticksShown(const Item& item) {
        const ScrollEngine& e = logic.engine();
        return (windowWidth - (item.intervalMs == 300 ? e.LMXP() : e.LMX())) / item.step;
    }

    void writeRecord(const std::string& head, const std::string& sequence,
                     std::optional<std::int64_t> atUs) {
        const TickRow& row = GetParam();
        const Instant record{7,
                             head,
                             sequence,
                             atUs,
                             row.sameComputer ? thisComputer::hostName() : "other-pc",
                             row.sameComputer ? thisComputer::bootId() : "other-boot",
                             row.recordClock};
        ASSERT_TRUE(exchange.writeInstant(exchange.startInstantPath(7), record));
    }

    void arrive(const JobLines& job) {
        writeJob(job);
        logic.exchangeFilesChanged({"LMData7.ini"});
    }
};

TEST_P(TickInstantTest, TicksCountFromTheInstantWhenItCanBeTrusted) {
    const TickRow& row = GetParam();
    const Item& item = row.item;
    const std::int64_t interval = item.intervalMs;
    wallClock.setState(row.ownClock);
    confirm();
    clock.advanceTo(1000);
    if (row.stepped) {
        wallClock.stepReal(300'000);
        logic.refreshPresence();
    }
    if (row.sequenceUsed) {
        writeRecord(" 5 ", "s-1", wallClock.realUs());
        arrive(textJob(" 5 ", "速く", "earlier"));
    }
    clock.advanceTo(arrival);
    std::filesystem::remove(exchange.answerPath(AnswerKind::Next, 7));
    const std::int64_t realAtArrival = wallClock.realUs();
    writeRecord(" 7 ", "s-1",
                row.lateMs ? std::optional(realAtArrival - *row.lateMs * 1000) : std::nullopt);
    std::vector<std::pair<std::int64_t, int>> moves;
    logic.engine().setMovedHandler([&] { moves.emplace_back(clock.now(), ticksShown(item)); });
    arrive(item.job);

    // The start: where an item started at the instant stands now.
    const std::int64_t anchor = row.used ? -*row.lateMs : 0; // ms from the arrival
    const std::int64_t replayed = row.used && anchor < 0 ? -anchor / interval : 0;
    ASSERT_EQ(moves, (std::vector<std::pair<std::int64_t, int>>{{arrival, replayed}}));

    const std::int64_t watchFrom = row.heldUpMs > 0 ? 250 : 0;
    if (row.heldUpMs > 0) {
        clock.advanceTo(arrival + watchFrom);
        wallClock.holdUp(row.heldUpMs * 1000);
    }
    const auto nextPath = exchange.answerPath(AnswerKind::Next, 7);
    ASSERT_TRUE(clock.advanceUntil([&] { return std::filesystem::exists(nextPath); }, 5000));
    // The first tick after the start (or the hold-up) comes at its deadline and runs the ticks
    // missed meanwhile with it; then one tick at each deadline.
    const std::int64_t first = std::max<std::int64_t>(1, (watchFrom - anchor) / interval + 1);
    const std::int64_t nextDue = anchor + item.nextTick * interval;
    EXPECT_EQ(clock.now() - arrival,
              nextDue <= watchFrom ? std::max<std::int64_t>(0, nextDue)
                                   : std::max(anchor + first * interval, nextDue - row.heldUpMs));
    clock.advance(3 * interval);
    std::size_t i = 1;
    while (i < moves.size() && moves[i].first < arrival + watchFrom) {
        ++i;
    }
    ASSERT_LT(i, moves.size());
    EXPECT_EQ(moves[i], std::make_pair(arrival + anchor + first * interval,
                                       static_cast<int>(first + row.heldUpMs / interval)));
    for (++i; i < moves.size(); ++i) {
        const int k = moves[i - 1].second + 1;
        EXPECT_EQ(moves[i], std::make_pair(arrival + anchor + k * interval - row.heldUpMs, k));
    }

    // The next answer's own instant, for the display after this one.
    const std::optional<Instant> said = exchange.readInstant(exchange.nextInstantPath(7));
    ASSERT_TRUE(said);
    EXPECT_EQ(said->display, 7);
    EXPECT_EQ(said->head, " 7 ");
    EXPECT_EQ(said->atUs, realAtArrival + (anchor + item.nextTick * interval) * 1000);
    EXPECT_EQ(said->host, thisComputer::hostName());
    EXPECT_EQ(said->clock.synchronised, row.ownClock.synchronised && !row.stepped);
}

INSTANTIATE_TEST_SUITE_P(Rows, TickInstantTest, ::testing::ValuesIn(rows),
                         [](const ::testing::TestParamInfo<TickRow>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace lm
