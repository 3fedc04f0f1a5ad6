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
        Plan,   // follow the week plan in the file at `path`
    };
    Kind kind = Kind::Raise;
    std::string path;
    std::string text;
    int minutes = 0;

    std::string encode() const;
    static std::optional<ControlRequest> parse(std::string_view line);

    friend bool operator==(const ControlRequest&, const ControlRequest&) = default;
};

// The running program's reply, one line: how the request went, with one line for the operator
// (which may be empty when it was done).
struct ControlReply {
    enum class Status {
        Done,        // exit status 0
        Refused,     // 1: nothing was done, and `line` says why
        Unconfirmed, // 3: sent, but no display confirms that it shows it
    };
    Status status = Status::Done;
    std::string line;

    // The exit status of the program that asked.
    int exitStatus() const;
    std::string encode() const;
    // Nothing for a line that is no reply.
    static std::optional<ControlReply> parse(std::string_view line);

    friend bool operator==(const ControlReply&, const ControlReply&) = default;
};

} // namespace lm
