#include "WakeUpPorts.h"

#include <charconv>

namespace lm {

std::optional<WakeUpPorts> WakeUpPorts::fromText(std::string_view text) {
    int base = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
        base < minBase || base > maxBase) {
        return std::nullopt;
    }
    return WakeUpPorts{base};
}

WakeUpPorts WakeUpPorts::choose(std::optional<std::string_view> option,
                                std::optional<std::string_view> environment) {
    for (const std::optional<std::string_view>& text : {option, environment}) {
        if (text) {
            if (const std::optional<WakeUpPorts> ports = fromText(*text)) {
                return *ports;
            }
        }
    }
    return {};
}

} // namespace lm
