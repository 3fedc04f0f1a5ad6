// Whether another computer's control program uses the Exchange folder, read from LMControl.dat,
// which its writer rewrites in place every second.

#include "ControlPresence.h"

#include "LineFile.h"
#include "TempDir.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace lm {
namespace {

namespace fs = std::filesystem;

SignOfLife otherComputer(std::uint64_t beat) {
    SignOfLife life;
    life.host = "control-pc-2";
    life.bootId = "0d6c4b58-4f0e-4d7e-9a53-2b1f0c7a9e11";
    life.pid = 4242;
    life.beat = beat;
    return life;
}

// A reader that looks just after the writer's truncation, or in the middle of its write,
// finds the record cut: that must never read as a free folder.
TEST(ControlPresence, ARecordRewrittenInPlaceIsNeverTakenForAFreeFolder) {
    test::TempDir work;
    const ExchangeFolder exchange(work.path());
    exchange.make();
    ASSERT_TRUE(exchange.writeControlLife(otherComputer(1)));
    std::atomic<bool> writing{true};
    std::atomic<std::uint64_t> writes{0};
    std::thread writer([&] {
        SignOfLife life = otherComputer(1);
        while (writing) {
            ++life.beat;
            (void)exchange.writeControlLife(life);
            ++writes;
        }
    });
    // The writer writes at least once between two looks, as the real one does every second of
    // the 3.5 s the reader watches; the scheduler decides how long that takes here.
    const auto wait = [&](int) {
        const std::uint64_t seen = writes;
        while (writes == seen) {
            std::this_thread::yield();
        }
    };
    int free = 0;
    int foreign = 0;
    constexpr int reads = 5000;
    for (int read = 0; read < reads; ++read) {
        const std::optional<std::string> host = ControlPresence::otherController(exchange, wait);
        if (!host) {
            ++free;
        } else if (*host != "control-pc-2" && !host->empty()) {
            ++foreign;
        }
    }
    writing = false;
    writer.join();
    EXPECT_EQ(free, 0) << "of " << reads << " reads";
    EXPECT_EQ(foreign, 0);
}

// What happens to LMControl.dat while the reader watches, on a virtual clock.
enum class Step { Nothing, Whole, Cut, OtherCut, Touch, Remove };

struct PresenceRow {
    const char* name;
    Step first;
    Step later;
    int laterAtMs;
    std::optional<std::string> expected; // the host; empty: one that never read whole
};

void apply(const ExchangeFolder& exchange, Step step, std::uint64_t beat) {
    const std::string bytes = otherComputer(beat).encode();
    switch (step) {
    case Step::Nothing:
        break;
    case Step::Whole:
        ASSERT_TRUE(exchange.writeControlLife(otherComputer(beat)));
        break;
    case Step::Cut:
        ASSERT_TRUE(lineFile::writeBytes(exchange.controlPath(), bytes.substr(0, 30)));
        break;
    case Step::OtherCut:
        ASSERT_TRUE(lineFile::writeBytes(exchange.controlPath(), bytes.substr(0, 20)));
        break;
    case Step::Touch:
        fs::last_write_time(exchange.controlPath(),
                            fs::last_write_time(exchange.controlPath()) + std::chrono::seconds(2));
        break;
    case Step::Remove:
        fs::remove(exchange.controlPath());
        break;
    }
}

class ControlPresenceSteps : public ::testing::TestWithParam<PresenceRow> {};

TEST_P(ControlPresenceSteps, ACutRecordCountsOnlyWhileItChanges) {
    const PresenceRow& row = GetParam();
    test::TempDir work;
    const ExchangeFolder exchange(work.path());
    exchange.make();
    apply(exchange, row.first, 7);
    int waited = 0;
    bool changed = false;
    const std::optional<std::string> host = ControlPresence::otherController(exchange, [&](int ms) {
        waited += ms;
        if (!changed && waited >= row.laterAtMs) {
            changed = true;
            apply(exchange, row.later, 8);
        }
    });
    EXPECT_EQ(host, row.expected);
    if (!host && fs::exists(exchange.controlPath())) {
        // A reader that gave up sooner would miss a writer on a share that shows changes late.
        EXPECT_GE(waited, ControlPresence::staleMs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ControlPresenceSteps,
    ::testing::Values(
        PresenceRow{"cutAndLeftSo", Step::Cut, Step::Nothing, 0, std::nullopt},
        PresenceRow{"wholeAndLeftSo", Step::Whole, Step::Nothing, 0, std::nullopt},
        PresenceRow{"cutThenCutShorter", Step::Cut, Step::OtherCut, 3000, ""},
        PresenceRow{"cutThenTouched", Step::Cut, Step::Touch, 100, ""},
        PresenceRow{"cutThenWhole", Step::Cut, Step::Whole, 1500, "control-pc-2"},
        PresenceRow{"wholeThenNextBeat", Step::Whole, Step::Whole, 1000, "control-pc-2"},
        PresenceRow{"wholeThenCutAndLeftSo", Step::Whole, Step::Cut, 500, "control-pc-2"},
        PresenceRow{"cutThenRemoved", Step::Cut, Step::Remove, 200, std::nullopt},
        PresenceRow{"missing", Step::Nothing, Step::Nothing, 0, std::nullopt}),
    [](const ::testing::TestParamInfo<PresenceRow>& row) { return std::string(row.param.name); });

} // namespace
} // namespace lm
