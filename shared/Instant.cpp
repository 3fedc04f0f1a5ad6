#include "Instant.h"

#include "RecordLines.h"

#include <charconv>
#include <vector>

namespace lm {

namespace {

constexpr std::string_view header = "lmsign-instant 1";

template <typename Number> bool parseNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::string Instant::encode() const {
    const std::string number = std::to_string(display);
    const std::string at = atUs ? std::to_string(*atUs) : std::string();
    const std::string clockText = clock.text();
    return recordLines::encode(header, {{"display", number},
                                        {"head", head},
                                        {"sequence", sequence},
                                        {"at", at},
                                        {"host", host},
                                        {"boot", bootId},
                                        {"clock", clockText}});
}

std::optional<Instant> Instant::parse(std::string_view bytes) {
    const std::optional<std::vector<recordLines::Field>> fields = recordLines::parse(bytes, header);
    if (!fields) {
        return std::nullopt;
    }
    Instant instant;
    bool displaySeen = false;
    bool headSeen = false;
    for (const auto& [key, value] : *fields) {
        bool good = true;
        if (key == "display") {
            good = displaySeen = parseNumber(value, instant.display);
        } else if (key == "head") {
            instant.head = value;
            headSeen = true;
        } else if (key == "sequence") {
            instant.sequence = value;
        } else if (key == "at") {
            std::int64_t at = 0;
            good = value.empty() || parseNumber(value, at);
            instant.atUs = value.empty() ? std::nullopt : std::optional(at);
        } else if (key == "host") {
            instant.host = value;
        } else if (key == "boot") {
            instant.bootId = value;
        } else if (key == "clock") {
            const std::optional<ClockState> clock = ClockState::parse(value);
            good = clock.has_value();
            instant.clock = clock.value_or(ClockState{});
        }
        if (!good) {
            return std::nullopt;
        }
    }
    if (!displaySeen || !headSeen) {
        return std::nullopt;
    }
    return instant;
}

} // namespace lm
