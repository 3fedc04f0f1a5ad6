#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

// What a program lets through of the wake-ups it receives. Only the names of its own files
// count, and each of them causes at most one extra poll per 20 ms, whoever sends the
// wake-ups: a wake-up inside that gap is not lost but owed, and its poll runs when the gap has
// passed. A poll reads only the file named, and a program reads at most 17 files, so a flood
// costs at most that many small reads per 20 ms; the displays of a wall, whose answers come at
// the same instants, are each read at once. Times are steady µs, given by the caller.
class WakeUpGate {
public:
    // Who writes a file this program reads: display n for its answers, 0 for the control
    // program's job files. Nothing for every other name: its wake-ups are dropped.
    using Writer = std::function<std::optional<int>(std::string_view name)>;
    static constexpr std::int64_t gapUs = 20'000;

    explicit WakeUpGate(Writer writer);

    // Display `display` reads only its own job file, from the control program.
    static Writer displayJob(int display);
    // The control program reads the next answers and display 1's end answer.
    static Writer controlAnswers();

    // A parsed wake-up for `name` from the address `source`. True when it names one of this
    // program's files: a poll is then pending.
    bool take(std::string_view name, const std::string& source);
    // How long the first pending poll must still wait at nowUs (0: it may run now); nothing
    // when none is pending.
    std::optional<std::int64_t> waitUs(std::int64_t nowUs) const;
    // The pending names whose poll may run at nowUs, each once: they then count as polled.
    // Empty while none is pending or due.
    std::vector<std::string> poll(std::int64_t nowUs);

    // The address the last valid wake-up from that writer came from: send back there first.
    std::optional<std::string> sourceOf(int writer) const;
    // Any valid wake-up from that writer so far.
    bool heardFrom(int writer) const { return m_sources.contains(writer); }

private:
    // How long the poll of this name must still wait at nowUs.
    std::int64_t waitFor(const std::string& name, std::int64_t nowUs) const;

    Writer m_writer;
    std::map<std::string, std::int64_t> m_lastPollUs;
    std::vector<std::string> m_pending;
    std::map<int, std::string> m_sources;
};

} // namespace lm
