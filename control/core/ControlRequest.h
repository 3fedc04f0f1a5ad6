#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lm {

// What a second LMControl on this computer, or `LMControl --say`, asks of the one that runs:
// one line over its local socket. Values are percent-encoded, so no text breaks the line.
struct ControlRequest {
    enum class Kind {
        Raise,  // bring the window to the front
        Open,   // and load the show file at `path`
        Start,  // and load it, then "表示させる"
        Say,    // show `text` as an urgent message for `minutes` (0: until it is ended)
        SayEnd, // end the urgent message
    };
    Kind kind = Kind::Raise;
    std::string path;
    std::string text;
    int minutes = 0;

    std::string encode() const;
    static std::optional<ControlRequest> parse(std::string_view line);

    friend bool operator==(const ControlRequest&, const ControlRequest&) = default;
};

// The running program's reply: empty for done, or why it refused, one line each way.
namespace controlReply {
std::string encode(const std::string& refusal);
// Nothing for a line that is no reply.
std::optional<std::string> parse(std::string_view line);
} // namespace controlReply

} // namespace lm
