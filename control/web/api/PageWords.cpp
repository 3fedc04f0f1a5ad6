#include "PageWords.h"

#include "JsonBody.h"
#include "UrgentMessage.h"
#include "Vocabulary.h"

#include <array>
#include <cstdio>

namespace lm {

namespace {

std::string hexColour(const vocabulary::Rgb& rgb) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "#%02x%02x%02x", rgb.red & 0xff, rgb.green & 0xff,
                  rgb.blue & 0xff);
    return text.data();
}

template <std::size_t N> nlohmann::json words(const std::array<std::string_view, N>& table) {
    nlohmann::json list = nlohmann::json::array();
    for (const std::string_view word : table) {
        list.push_back(word);
    }
    return list;
}

} // namespace

PageFile pageWords() {
    nlohmann::json colours = nlohmann::json::array();
    for (int n = 0; n < vocabulary::colourCount; ++n) {
        colours.push_back({{"word", vocabulary::colourWords.at(static_cast<std::size_t>(n))},
                           {"rgb", hexColour(vocabulary::colourRgb(n))}});
    }
    const nlohmann::json all = {
        {"colours", colours},
        {"speeds", words(vocabulary::speedWords)},
        {"movements", words(vocabulary::movementWords)},
        {"entry",
         {{"textColour", vocabulary::defaultTextColour},
          {"backColour", vocabulary::defaultBackColour},
          {"speed", vocabulary::defaultSpeed},
          {"movement", vocabulary::moveStill}}},
        {"urgent",
         {{"textColour", UrgentMessage::defaultTextColour},
          {"backColour", UrgentMessage::defaultBackColour}}},
    };
    return {"/words.json", "application/json", jsonBody::dump(all)};
}

} // namespace lm
