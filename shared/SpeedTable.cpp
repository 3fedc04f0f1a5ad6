#include "SpeedTable.h"

#include "NumberText.h"
#include "Vocabulary.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace lm::speedTable {

namespace {

// Fastest first; the last row takes every word outside the table. 47, not 48, is the text
// divisor of "やや遅く".
constexpr std::array<int, vocabulary::speedCount> textDivisors{12, 24, 36, 47, 60};
constexpr std::array<int, vocabulary::speedCount> pictureDivisors{10, 20, 30, 40, 50};

} // namespace

int divisor(std::string_view speedWord, Mode mode) {
    const int row = vocabulary::speedPosition(speedWord).value_or(vocabulary::speedCount - 1);
    const auto& divisors = mode == Mode::Text ? textDivisors : pictureDivisors;
    return divisors[static_cast<std::size_t>(row)];
}

int moveStep(int windowWidth, std::string_view speedWord, Mode mode) {
    const double step = roundHalfEven(static_cast<double>(windowWidth) / divisor(speedWord, mode));
    return std::max(1, static_cast<int>(step));
}

int textWidthEstimate(int windowWidth, std::size_t characters) {
    if (windowWidth <= 0) {
        return 0;
    }
    const double estimate =
        std::floor(static_cast<double>(windowWidth) * static_cast<double>(characters) / 1.3);
    return static_cast<int>(std::min(estimate, static_cast<double>(maxRunTwips)));
}

} // namespace lm::speedTable
