#include "ControlRequest.h"

#include <array>
#include <charconv>
#include <utility>
#include <vector>

namespace lm {

namespace {

constexpr std::array<std::pair<ControlRequest::Kind, std::string_view>, 6> words{{
    {ControlRequest::Kind::Raise, "raise"},
    {ControlRequest::Kind::Open, "open"},
    {ControlRequest::Kind::Start, "start"},
    {ControlRequest::Kind::Say, "say"},
    {ControlRequest::Kind::SayEnd, "say-end"},
    {ControlRequest::Kind::Plan, "plan"},
}};

bool isPlain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '/';
}

std::string percentEncoded(std::string_view text) {
    static constexpr std::string_view hex = "0123456789ABCDEF";
    std::string encoded = "=";
    for (const char c : text) {
        if (isPlain(c)) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += hex[byte >> 4U];
            encoded += hex[byte & 0x0FU];
        }
    }
    return encoded;
}

std::optional<std::string> percentDecoded(std::string_view field) {
    if (!field.starts_with('=')) {
        return std::nullopt;
    }
    field.remove_prefix(1);
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            text += field[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= field.size()) {
            return std::nullopt;
        }
        const auto [end, error] =
            std::from_chars(field.data() + i + 1, field.data() + i + 3, value, 16);
        if (error != std::errc() || end != field.data() + i + 3) {
            return std::nullopt;
        }
        text += static_cast<char>(value);
        i += 2;
    }
    return text;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const std::size_t blank = line.find(' ');
        fields.push_back(line.substr(0, blank));
        if (blank == std::string_view::npos) {
            break;
        }
        line.remove_prefix(blank + 1);
    }
    return fields;
}

} // namespace

std::string ControlRequest::encode() const {
    std::string line;
    for (const auto& [k, word] : words) {
        if (k == kind) {
            line = word;
        }
    }
    switch (kind) {
    case Kind::Open:
    case Kind::Start:
    case Kind::Plan:
        line += " " + percentEncoded(path);
        break;
    case Kind::Say:
        line += " " + std::to_string(minutes) + " " + percentEncoded(text);
        break;
    case Kind::Raise:
    case Kind::SayEnd:
        break;
    }
    return line;
}

std::optional<ControlRequest> ControlRequest::parse(std::string_view line) {
    const std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.empty()) {
        return std::nullopt;
    }
    ControlRequest request;
    bool known = false;
    for (const auto& [k, word] : words) {
        if (fields.front() == word) {
            request.kind = k;
            known = true;
        }
    }
    if (!known) {
        return std::nullopt;
    }
    switch (request.kind) {
    case Kind::Raise:
    case Kind::SayEnd:
        return fields.size() == 1 ? std::optional(request) : std::nullopt;
    case Kind::Open:
    case Kind::Start:
    case Kind::Plan: {
        const std::optional<std::string> path =
            fields.size() == 2 ? percentDecoded(fields[1]) : std::nullopt;
        if (!path || path->empty()) {
            return std::nullopt;
        }
        request.path = *path;
        return request;
    }
    case Kind::Say: {
        if (fields.size() != 3) {
            return std::nullopt;
        }
        const auto [end, error] =
            std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), request.minutes);
        const std::optional<std::string> text = percentDecoded(fields[2]);
        if (error != std::errc() || end != fields[1].data() + fields[1].size() ||
            request.minutes < 0 || !text) {
            return std::nullopt;
        }
        request.text = *text;
        return request;
    }
    }
    return std::nullopt;
}

namespace {

constexpr std::array<std::pair<ControlReply::Status, std::string_view>, 3> statusWords{{
    {ControlReply::Status::Done, "ok"},
    {ControlReply::Status::Refused, "refused"},
    {ControlReply::Status::Unconfirmed, "sent"},
}};

} // namespace

int ControlReply::exitStatus() const {
    switch (status) {
    case Status::Done:
        return 0;
    case Status::Refused:
        break;
    case Status::Unconfirmed:
        return 3;
    }
    return 1;
}

std::string ControlReply::encode() const {
    std::string encoded;
    for (const auto& [s, word] : statusWords) {
        if (s == status) {
            encoded = word;
        }
    }
    // A bare "ok" is what programs before the line was added answered, and still read.
    if (!line.empty() || status != Status::Done) {
        encoded += " " + percentEncoded(line);
    }
    return encoded;
}

std::optional<ControlReply> ControlReply::parse(std::string_view line) {
    const std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.empty() || fields.size() > 2) {
        return std::nullopt;
    }
    ControlReply reply;
    bool known = false;
    for (const auto& [s, word] : statusWords) {
        if (fields.front() == word) {
            reply.status = s;
            known = true;
        }
    }
    if (!known || (fields.size() == 1 && reply.status != Status::Done)) {
        return std::nullopt;
    }
    if (fields.size() == 2) {
        std::optional<std::string> text = percentDecoded(fields[1]);
        if (!text || (text->empty() && reply.status == Status::Done)) {
            return std::nullopt; // "ok =" is never written: "ok" says the same
        }
        reply.line = std::move(*text);
    }
    return reply;
}

} // namespace lm
