#include "SignOfLife.h"

#include "RecordLines.h"

#include <charconv>

namespace lm {

namespace {

constexpr std::string_view header = "lmsign-alive 1";

template <typename Number> bool parseNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::string SignOfLife::encode() const {
    const std::string numbers[] = {std::to_string(pid), std::to_string(beat), std::to_string(port)};
    std::vector<recordLines::Field> fields{{"host", host},
                                           {"boot", bootId},
                                           {"pid", numbers[0]},
                                           {"beat", numbers[1]},
                                           {"port", numbers[2]}};
    for (const std::string& address : addresses) {
        fields.emplace_back("address", address);
    }
    const std::string clockText = clock ? clock->text() : std::string();
    if (clock) {
        fields.emplace_back("clock", clockText);
    }
    if (job) {
        fields.emplace_back("job", *job);
    }
    return recordLines::encode(header, fields);
}

std::optional<SignOfLife> SignOfLife::parse(std::string_view bytes) {
    const std::optional<std::vector<recordLines::Field>> fields = recordLines::parse(bytes, header);
    if (!fields) {
        return std::nullopt;
    }
    SignOfLife life;
    for (const auto& [key, value] : *fields) {
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
            const std::optional<ClockState> clock = ClockState::parse(value);
            good = clock.has_value();
            life.clock = clock;
        } else if (key == "job") {
            life.job = std::string(value);
        }
        if (!good) {
            return std::nullopt;
        }
    }
    return life;
}

} // namespace lm
