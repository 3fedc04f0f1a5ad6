#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace lm {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

double numericValue(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (!isBlank(c)) {
            compact.push_back(c);
        }
    }

    std::size_t pos = 0;
    bool negative = false;
    if (pos < compact.size() && (compact[pos] == '+' || compact[pos] == '-')) {
        negative = compact[pos] == '-';
        ++pos;
    }
    std::string number;
    bool anyDigit = false;
    while (pos < compact.size() && isDigit(compact[pos])) {
        number.push_back(compact[pos++]);
        anyDigit = true;
    }
    if (pos < compact.size() && compact[pos] == '.') {
        number.push_back(compact[pos++]);
        while (pos < compact.size() && isDigit(compact[pos])) {
            number.push_back(compact[pos++]);
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        return 0.0;
    }
    if (number.front() == '.') {
        number.insert(number.begin(), '0');
    }

    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        value = std::numeric_limits<double>::infinity();
    }
    (void)end;
    return negative ? -value : value;
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return value;
    }
    const double floorValue = std::floor(value);
    const double fraction = value - floorValue;
    if (fraction < 0.5) {
        return floorValue;
    }
    if (fraction > 0.5) {
        return floorValue + 1.0;
    }
    return std::fmod(floorValue, 2.0) == 0.0 ? floorValue : floorValue + 1.0;
}

std::optional<std::int16_t> toInt16(double value) {
    const double rounded = roundHalfEven(value);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(rounded);
}

std::string numberText(long long value) {
    if (value < 0) {
        // Negating the smallest value would overflow; to_string handles it.
        return std::to_string(value);
    }
    return " " + std::to_string(value);
}

} // namespace lm
