#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// The numeric value of a text, as every number typed or read from a file is taken:
// blanks anywhere are ignored, then an optional sign, decimal digits and an optional
// decimal fraction are read up to the first other character. No number gives 0.
// "1 2" gives 12, "12abc" gives 12, "abc" gives 0.
double numericValue(std::string_view text);

// Rounds to the nearest integer, halves to even: 3.5 gives 4, 2.5 gives 2.
double roundHalfEven(double value);

// The value rounded with halves to even, when it fits a 16-bit signed integer.
std::optional<std::int16_t> toInt16(double value);

// A number with a blank in the sign position: " 7", "-3".
std::string numberText(long long value);

} // namespace lm
