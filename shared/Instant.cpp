#include "Instant.h"

#include <charconv>
#include <vector>

namespace lm {

namespace {

constexpr std::string_view header = "lmsign-instant 1";
constexpr std::string_view footer = "end";
constexpr std::string_view lineEnd = "\r\n";

template <typename Number> bool parseNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::string Instant::encode() const {
    std::string bytes(header);
    bytes += lineEnd;
    const auto line = [&](std::string_view key, std::string_view value) {
        bytes += key;
        bytes += '=';
        bytes += value;
        bytes += lineEnd;
    };
    line("display", std::to_string(display));
    line("head", head);
    line("sequence", sequence);
    line("at", atUs ? std::to_string(*atUs) : std::string());
    line("host", host);
    line("boot", bootId);
    line("clock", std::string(clock.synchronised ? "synchronised " : "unsynchronised ") +
                      std::to_string(clock.errorUs));
    bytes += footer;
    bytes += lineEnd;
    return bytes;
}

std::optional<Instant> Instant::parse(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt; // caught while it was written
        }
        std::string_view line = bytes.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        bytes.remove_prefix(end + 1);
    }
    if (lines.size() < 2 || lines.front() != header || lines.back() != footer) {
        return std::nullopt;
    }
    Instant instant;
    bool displaySeen = false;
    bool headSeen = false;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::size_t equals = lines[i].find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = lines[i].substr(0, equals);
        const std::string_view value = lines[i].substr(equals + 1);
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
            const std::size_t blank = value.find(' ');
            const std::string_view word = value.substr(0, blank);
            instant.clock.synchronised = word == "synchronised";
            good = blank != std::string_view::npos &&
                   (instant.clock.synchronised || word == "unsynchronised") &&
                   parseNumber(value.substr(blank + 1), instant.clock.errorUs);
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
