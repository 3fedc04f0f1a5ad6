#pragma once

#include "ClockState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

// What a running program says of itself in its presence file: each display in LMAlive<n>.dat,
// the control program in LMControl.dat. It is written whole and anew at every refresh; a
// reader takes only a file that ends with its last line, so one caught while it is written
// reads as nothing. Older displays leave LMAlive<n>.dat empty and only touch it: then only its
// modification time tells anything.
struct SignOfLife {
    std::string host;
    std::string bootId;
    long pid = 0;
    // Counts the refreshes: a change shows that the writer runs, whatever the clocks say.
    std::uint64_t beat = 0;
    // The UDP port and addresses where the program takes wake-ups; port 0: it takes none.
    int port = 0;
    std::vector<std::string> addresses;
    // The writer's clock, as its kernel reports it (displays only).
    std::optional<ClockState> clock;
    // Line 1 of the job the display shows now (empty before its first); none from a display
    // that does not say, or from the control program.
    std::optional<std::string> job;

    // The file's bytes: "key=value" lines of ASCII between a header and an end line, CR LF.
    std::string encode() const;
    // Nothing for an empty, cut or foreign file. Unknown keys are skipped, so a newer writer
    // may add some.
    static std::optional<SignOfLife> parse(std::string_view bytes);

    bool isSameComputer(const SignOfLife& other) const {
        return host == other.host && bootId == other.bootId;
    }
    friend bool operator==(const SignOfLife&, const SignOfLife&) = default;
};

} // namespace lm
