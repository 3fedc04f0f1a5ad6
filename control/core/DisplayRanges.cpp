#include "DisplayRanges.h"

namespace lm {

std::string displayRanges(const std::vector<int>& displays) {
    std::string text;
    for (std::size_t i = 0; i < displays.size();) {
        std::size_t j = i;
        while (j + 1 < displays.size() && displays[j + 1] == displays[j] + 1) {
            ++j;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(displays[i]);
        if (j > i) {
            text += "-" + std::to_string(displays[j]);
        }
        i = j + 1;
    }
    return text;
}

} // namespace lm
