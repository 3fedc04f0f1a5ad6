#include "ClockState.h"

#include <charconv>

namespace lm {

namespace {
constexpr std::string_view inStep = "synchronised";
constexpr std::string_view notInStep = "unsynchronised";
} // namespace

std::string ClockState::text() const {
    return std::string(synchronised ? inStep : notInStep) + " " + std::to_string(errorUs);
}

std::optional<ClockState> ClockState::parse(std::string_view text) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view word = text.substr(0, blank);
    const std::string_view number = text.substr(blank + 1);
    ClockState state;
    state.synchronised = word == inStep;
    const auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), state.errorUs);
    if ((!state.synchronised && word != notInStep) || number.empty() || error != std::errc() ||
        end != number.data() + number.size()) {
        return std::nullopt;
    }
    return state;
}

} // namespace lm
