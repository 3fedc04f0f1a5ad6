#include "RecordLines.h"

namespace lm::recordLines {

namespace {
constexpr std::string_view footer = "end";
constexpr std::string_view lineEnd = "\r\n";
} // namespace

void add(std::string& bytes, std::string_view key, std::string_view value) {
    bytes += key;
    bytes += '=';
    bytes += value;
    bytes += lineEnd;
}

std::string encode(std::string_view header, const std::vector<Field>& fields) {
    std::string bytes(header);
    bytes += lineEnd;
    for (const auto& [key, value] : fields) {
        // A value never breaks its line.
        if (value.find_first_of("\r\n") == std::string_view::npos) {
            add(bytes, key, value);
        }
    }
    bytes += footer;
    bytes += lineEnd;
    return bytes;
}

std::optional<std::vector<Field>> parse(std::string_view bytes, std::string_view header) {
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
        if (line.find('\r') != std::string_view::npos) {
            return std::nullopt; // a value that breaks its line: never written by a program
        }
        lines.push_back(line);
        bytes.remove_prefix(end + 1);
    }
    if (lines.size() < 2 || lines.front() != header || lines.back() != footer) {
        return std::nullopt;
    }
    std::vector<Field> fields;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::size_t equals = lines[i].find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        fields.emplace_back(lines[i].substr(0, equals), lines[i].substr(equals + 1));
    }
    return fields;
}

} // namespace lm::recordLines
