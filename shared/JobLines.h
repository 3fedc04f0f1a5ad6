#pragma once

#include <array>
#include <string>

namespace lm {

// The ten lines of a job file, line 1 first.
using JobLines = std::array<std::string, 10>;

namespace jobLine {
inline constexpr std::size_t itemNumber = 0;
inline constexpr std::size_t kind = 1;
inline constexpr std::size_t movement = 3;
inline constexpr std::size_t textColour = 5;
inline constexpr std::size_t backColour = 6;
inline constexpr std::size_t speed = 7;
inline constexpr std::size_t text = 8;
inline constexpr std::size_t picture = 9;
} // namespace jobLine

// Line 1 of an item job: the row with a blank before and after, " 0 ".
std::string itemNumberLine(int row);

// Blanks every display: two ideographic spaces on dark blue, item number -1.
JobLines stopJob();

// Makes a display program end itself.
JobLines endJob();

} // namespace lm
