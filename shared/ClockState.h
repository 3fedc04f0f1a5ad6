#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// How far a computer's real-time clock can be believed, as its kernel reports it.
struct ClockState {
    // Instants from two computers are compared only when both clocks are this close to the
    // time service's: one movement tick is 100 ms, and a seam of a few ms cannot be seen.
    static constexpr std::int64_t trustedErrorUs = 2000;

    bool synchronised = false; // the kernel does not report TIME_ERROR
    std::int64_t errorUs = 0;  // the kernel's estimated error

    bool isTrusted() const { return synchronised && errorUs <= trustedErrorUs; }

    // As the records in the Exchange folder give it: "synchronised 1500", "unsynchronised
    // 16000000".
    std::string text() const;
    static std::optional<ClockState> parse(std::string_view text);
    friend bool operator==(const ClockState&, const ClockState&) = default;
};

} // namespace lm
