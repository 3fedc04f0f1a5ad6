#pragma once

#include "DisplayLogic.h"
#include "ExchangeFolder.h"
#include "FakeSignView.h"
#include "TempDir.h"
#include "VirtualClock.h"
#include "VirtualWallClock.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace lm::test {

// A display program on the virtual clock in a window 15360 twips wide (1024 pixels at 96 dpi),
// with its Exchange folder in a temporary working folder. Its steady and real-time clocks follow
// the virtual clock.
class DisplayFixture : public ::testing::Test {
protected:
    static constexpr int windowWidth = 15360;

    DisplayFixture() {
        exchange.make();
        clock.attach(logic.timer1());
        clock.attach(logic.timer2());
        clock.attach(logic.timer3());
        logic.setLMScreenWidth(windowWidth);
    }

    static JobLines job(const std::string& head, const std::string& kind,
                        const std::string& movement, const std::string& speed,
                        const std::string& text = {}, const std::string& picture = {},
                        const std::string& fore = "白", const std::string& back = "暗い緑") {
        return {head, kind, "", movement, "", fore, back, speed, text, picture};
    }
    static JobLines textJob(const std::string& head, const std::string& speed,
                            const std::string& text) {
        return job(head, "文字", "左へ", speed, text);
    }

    void writeJob(const JobLines& lines, int display = 7) const {
        ASSERT_EQ(exchange.writeJob(display, lines), WriteStatus::Ok);
    }

    // "OK" with the display number; the first poll comes 80 ms later.
    void confirm(std::int16_t display = 7) { logic.start(display); }

    // Runs the clock until the job with this line 1 has started; false if it does not within ms.
    bool runUntilStarted(const std::string& head, std::int64_t ms = 1000) {
        return clock.advanceUntil([&] { return logic.poller().LastJobHead() == head; }, ms);
    }

    // Writes the job, presses "OK" if not yet done and runs until the job has started.
    // Returns the moment it started.
    std::int64_t startJob(const JobLines& lines) {
        writeJob(lines);
        if (!logic.timer3().isActive()) {
            confirm();
        }
        EXPECT_TRUE(runUntilStarted(lines[0]));
        return clock.now();
    }

    std::optional<std::string> answerBytes(AnswerKind kind, int display = 7) const {
        return lineFile::readBytes(exchange.answerPath(kind, display));
    }

    // The moment the answer appears, or nothing within ms.
    std::optional<std::int64_t> answerTime(AnswerKind kind, std::int64_t ms, int display = 7) {
        const auto path = exchange.answerPath(kind, display);
        if (!clock.advanceUntil([&] { return std::filesystem::exists(path); }, ms)) {
            return std::nullopt;
        }
        return clock.now();
    }

    TempDir dir;
    ExchangeFolder exchange{dir.path()};
    FakeSignView view;
    VirtualClock clock;
    VirtualWallClock wallClock{clock};
    DisplayLogic logic{view, dir.path(), wallClock};
};

} // namespace lm::test
