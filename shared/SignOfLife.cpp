#include "SignOfLife.h"

#include <charconv>

namespace lm {

namespace {

constexpr std::string_view header = "lmsign-alive 1";
constexpr std::string_view footer = "end";
constexpr std::string_view lineEnd = "\r\n";

template <typename Number> bool parseNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// A value must not break its line.
bool isClean(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace

std::string SignOfLife::encode() const {
    std::string bytes;
    const auto line = [&](std::string_view key, std::string_view value) {
        if (!isClean(value)) {
            return;
        }
        bytes += key;
        bytes += '=';
        bytes += value;
        bytes += lineEnd;
    };
    bytes += header;
    bytes += lineEnd;
    line("host", host);
    line("boot", bootId);
    line("pid", std::to_string(pid));
    line("beat", std::to_string(beat));
    line("port", std::to_string(port));
    for (const std::string& address : addresses) {
        line("address", address);
    }
    if (clock) {
        line("clock", std::string(clock->synchronised ? "synchronised " : "unsynchronised ") +
                          std::to_string(clock->errorUs));
    }
    bytes += footer;
    bytes += lineEnd;
    return bytes;
}

std::optional<SignOfLife> SignOfLife::parse(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt; // the last line has not ended: caught while it was written
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
    SignOfLife life;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        bool good = true;
        if (key == "host") {
            life.host = value;
        } else if (key == "boot") {
            life.bootId = value;
        } else if (key == "pid") {
            good = parseNumber(value, life.pid);
        } else if (key == "beat") {
            good = parseNumber(value, life.beat);
        } else if (key == "port") {
            good = parseNumber(value, life.port) && life.port >= 0 && life.port <= 65535;
        } else if (key == "address") {
            life.addresses.emplace_back(value);
        } else if (key == "clock") {
            const std::size_t blank = value.find(' ');
            const std::string_view word = value.substr(0, blank);
            ClockState clock;
            clock.synchronised = word == "synchronised";
            good = blank != std::string_view::npos &&
                   (clock.synchronised || word == "unsynchronised") &&
                   parseNumber(value.substr(blank + 1), clock.errorUs);
            life.clock = clock;
        }
        if (!good) {
            return std::nullopt;
        }
    }
    return life;
}

} // namespace lm
