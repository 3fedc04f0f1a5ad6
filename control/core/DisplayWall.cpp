#include "DisplayWall.h"

#include <algorithm>
#include <system_error>

namespace lm {

void DisplayWall::poll(std::int64_t now) {
    m_lastPoll = now;
    const bool answersToo = ++m_polls % answerLookEvery == 0;
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        Display& display = at(n);
        const std::optional<std::filesystem::file_time_type> stamp = m_exchange.presenceStamp(n);
        // A file found at the first look may be left from a program long gone: only a change
        // counts.
        if (display.looked && stamp && stamp != display.stamp) {
            display.changeSeenAt = now;
            // Caught while it is written, it reads as nothing: keep what it said before.
            if (std::optional<SignOfLife> life = m_exchange.presenceLife(n)) {
                display.life = std::move(life);
            }
            if (display.presenceLost) {
                display.silent = false;
                display.presenceLost = false;
            }
        }
        display.looked = true;
        display.stamp = stamp;
        update(display, now);
        if (answersToo && !display.changeSeenAt) {
            lookAtAnswers(n, now);
        }
    }
}

void DisplayWall::lookAtAnswers(int n, std::int64_t now) {
    Display& display = at(n);
    bool answered = false;
    for (const AnswerKind kind : {AnswerKind::Next, AnswerKind::End}) {
        std::error_code error;
        const std::filesystem::file_time_type written =
            std::filesystem::last_write_time(m_exchange.answerPath(kind, n), error);
        const std::optional<std::filesystem::file_time_type> stamp =
            error ? std::nullopt : std::optional(written);
        auto& seen = display.answerStamps.at(kind == AnswerKind::Next ? 0 : 1);
        answered = answered || (stamp && stamp != seen);
        seen = stamp;
    }
    if (answered) {
        noteAnswer(n, now);
    }
}

void DisplayWall::update(Display& display, std::int64_t now) {
    if (display.changeSeenAt) {
        const std::int64_t lastSign =
            std::max(*display.changeSeenAt, display.answerSeenAt.value_or(*display.changeSeenAt));
        if (now - lastSign > silenceMs) {
            if (display.toldToEnd) {
                // It ended as it was told to; started again later, it is simply there.
                display.toldToEnd = false;
                display.wasPresent = false;
            }
            display.silent = display.silent || display.wasPresent;
            display.presenceLost = display.silent;
            display.present = false;
            return;
        }
        display.present = !display.silent;
    } else {
        display.present = display.answerSeenAt.has_value() && !display.silent;
    }
    display.wasPresent = display.wasPresent || (display.present && !display.toldToEnd);
}

void DisplayWall::noteAnswer(int n, std::int64_t now) {
    Display& display = at(n);
    display.answerSeenAt = now;
    ++display.answers;
    display.silent = false;
    display.presenceLost = false;
    update(display, now);
}

void DisplayWall::markSilent(int n) {
    Display& display = at(n);
    display.silent = true;
    display.present = false;
}

void DisplayWall::newShow() {
    for (Display& display : m_displays) {
        display.answerSeenAt.reset();
        display.answers = 0;
        display.toldToEnd = false;
        if (!display.changeSeenAt) {
            display.present = false;
        }
    }
}

void DisplayWall::forget() {
    for (Display& display : m_displays) {
        display.toldToEnd = true;
        display.wasPresent = false;
        display.silent = false;
        display.presenceLost = false;
    }
}

bool DisplayWall::presentAfter(int n) const {
    for (int k = n + 1; k <= vocabulary::maxDisplays; ++k) {
        if (isPresent(k)) {
            return true;
        }
    }
    return false;
}

} // namespace lm
