#include "FileNameRule.h"

#include <algorithm>

namespace lm {

namespace fileNameRule {

std::string problem(std::string_view name) {
    constexpr std::size_t longest = 255; // NAME_MAX of the file systems it lands on
    if (name.empty()) {
        return "no name";
    }
    if (name == "." || name == ".." || name.find("..") != std::string_view::npos) {
        return "a name with \"..\" is refused";
    }
    if (name.find_first_of("/\\") != std::string_view::npos) {
        return "a name with \"/\" or \"\\\" is refused: only a file of the folder itself";
    }
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; })) {
        return "a name with a control character is refused";
    }
    if (name.size() > longest) {
        return "the name is longer than 255 bytes";
    }
    return {};
}

} // namespace fileNameRule

} // namespace lm
