#pragma once

#include <cstddef>
#include <string_view>

namespace lm::speedTable {

enum class Mode { Text, Picture };

// The largest run length the countdown takes: half the 32-bit range, so a position can run a
// step past it without overflowing.
inline constexpr int maxRunTwips = 0x3FFFFFFF;

// The speed word's divisor: a step is the window width divided by it, so an item crosses the
// window in about this many ticks, whatever its width. A word outside the table takes the
// last row, "遅く" among them.
int divisor(std::string_view speedWord, Mode mode);

// The window width (twips) divided by the speed word's divisor, halves to even. A word
// outside the table moves as slowly as "遅く". Never below 1, so every item ends.
int moveStep(int windowWidth, std::string_view speedWord, Mode mode);

// Every character counts as window width / 1.3, rounded down. Computed in 64 bits and held
// to maxRunTwips, so a long text cannot overflow.
int textWidthEstimate(int windowWidth, std::size_t characters);

} // namespace lm::speedTable
