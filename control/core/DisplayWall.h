#pragma once

#include "ExchangeFolder.h"
#include "Vocabulary.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace lm {

// What the control program knows of the display computers 1 to 16: whether each one's display
// program runs, and whether it has fallen silent. A display program shows that it runs by
// touching its presence file; the control program judges by when it saw the file change, on
// its own clock (ms), never by the file's time, since the computers' clocks may differ. A
// display program that writes no presence file counts as running from its first answer in a
// show, whichever display's watcher reads it (display 16's answers are read by none): every few
// polls, the answer files of such displays are looked at too.
class DisplayWall {
public:
    // A display that was there and shows no sign of life for longer than this is silent.
    static constexpr std::int64_t silenceMs = 3000;
    // Every how many polls the answer files of displays without a presence file are looked at.
    static constexpr int answerLookEvery = 5;

    explicit DisplayWall(const ExchangeFolder& exchange) : m_exchange(exchange) {}

    // One look at every presence file (one small file each), at the controller's time now.
    void poll(std::int64_t now);
    // An answer of display n was seen: it runs, and is no longer silent. Without a time: at
    // the last poll's.
    void noteAnswer(int n, std::int64_t now);
    void noteAnswer(int n) { noteAnswer(n, m_lastPoll); }
    // Display n is overdue with its answer. Only an answer, or its presence coming back after
    // it went, ends that: a program that touches its file but never answers stays silent.
    void markSilent(int n);
    // A new show: answers of the one before no longer count.
    void newShow();
    // The display programs were told to end: those that go are absent, not silent.
    void forget();

    const ExchangeFolder& exchange() const { return m_exchange; }
    bool isPresent(int n) const { return at(n).present; }
    bool isSilent(int n) const { return at(n).silent; }
    // What display n said of itself in its presence file when it last changed; nothing for a
    // display that leaves it empty (an older one).
    const std::optional<SignOfLife>& life(int n) const { return at(n).life; }
    // How many answers of display n were seen in this show.
    int answersSeen(int n) const { return at(n).answers; }
    // Some display after n is present.
    bool presentAfter(int n) const;

private:
    struct Display {
        bool looked = false; // the presence file was looked at before
        std::optional<std::filesystem::file_time_type> stamp;
        std::optional<std::int64_t> changeSeenAt; // none: it writes no presence file
        std::optional<std::int64_t> answerSeenAt; // in this show
        bool present = false;
        bool wasPresent = false;
        bool silent = false;
        bool presenceLost = false; // a change of its presence file brings it back
        bool toldToEnd = false;
        std::optional<SignOfLife> life;
        int answers = 0;
        // The next and the end answer's modification times at the last look.
        std::array<std::optional<std::filesystem::file_time_type>, 2> answerStamps{};
    };

    Display& at(int n) { return m_displays.at(static_cast<std::size_t>(n)); }
    const Display& at(int n) const { return m_displays.at(static_cast<std::size_t>(n)); }
    void update(Display& display, std::int64_t now);
    // A display without a presence file: an answer written since the last look is its sign of
    // life.
    void lookAtAnswers(int n, std::int64_t now);

    const ExchangeFolder& m_exchange;
    std::array<Display, vocabulary::maxDisplays + 1> m_displays{}; // index 0 unused
    int m_polls = 0;
    std::int64_t m_lastPoll = 0;
};

} // namespace lm
