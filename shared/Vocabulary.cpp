#include "Vocabulary.h"

#include "NumberText.h"

#include <stdexcept>

namespace lm::vocabulary {

namespace {

template <std::size_t N>
std::optional<int> positionOf(const std::array<std::string_view, N>& words, std::string_view word) {
    for (std::size_t i = 0; i < N; ++i) {
        if (words[i] == word) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

// The 16-colour VGA default palette.
constexpr std::array<Rgb, 16> palette{{{0x00, 0x00, 0x00},
                                       {0x00, 0x00, 0x80},
                                       {0x00, 0x80, 0x00},
                                       {0x00, 0x80, 0x80},
                                       {0x80, 0x00, 0x00},
                                       {0x80, 0x00, 0x80},
                                       {0x80, 0x80, 0x00},
                                       {0xC0, 0xC0, 0xC0},
                                       {0x80, 0x80, 0x80},
                                       {0x00, 0x00, 0xFF},
                                       {0x00, 0xFF, 0x00},
                                       {0x00, 0xFF, 0xFF},
                                       {0xFF, 0x00, 0x00},
                                       {0xFF, 0x00, 0xFF},
                                       {0xFF, 0xFF, 0x00},
                                       {0xFF, 0xFF, 0xFF}}};

} // namespace

std::optional<int> colourNumber(std::string_view word) {
    return positionOf(colourWords, word);
}

Rgb colourRgb(int number) {
    if (number < 0 || number >= colourCount) {
        throw std::out_of_range("colour number outside 0 to 15");
    }
    return palette[static_cast<std::size_t>(number)];
}

std::optional<int> speedPosition(std::string_view word) {
    return positionOf(speedWords, word);
}

std::vector<std::string> displayNumberTexts() {
    std::vector<std::string> texts;
    for (int n = 1; n <= maxDisplays; ++n) {
        texts.push_back(numberText(n));
    }
    return texts;
}

} // namespace lm::vocabulary
