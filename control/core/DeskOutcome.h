#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lm {

// What a message box says: its text and its title.
struct DeskMessage {
    std::string text;
    std::string title;

    friend bool operator==(const DeskMessage&, const DeskMessage&) = default;
};

// How an operator command went. The window shows `messages` as message boxes, in order; the
// other front ends pass them on (the web API in its answer, the plan in its log).
struct DeskOutcome {
    enum class Code {
        Done,
        Busy,        // a modal step of another front end is open
        Full,        // the list holds 101 items already
        NoSuchLine,  // no line of the list has that number
        BadValue,    // a value cannot travel to the displays or into a show file
        NoName,      // the chooser returned no file name
        Unreadable,  // the show file (or the copy for --resume) cannot be read
        Unwritable,  // the show file cannot be written
        CannotStart, // the show cannot start (too few items, a value it cannot carry)
        Cancelled,   // the chooser was cancelled: nothing happened, and nothing is said
    };

    Code code = Code::Done;
    // What the window's message boxes say of it: a refusal's reason, or a warning about what
    // was done all the same.
    std::vector<DeskMessage> messages;
    // Why, for a refusal the window says nothing of (a full list, a line that is not there):
    // the other front ends still say why.
    std::string quietReason;

    bool done() const { return code == Code::Done; }
    // The refusal's words: the first box's text, else the quiet reason.
    std::string words() const { return messages.empty() ? quietReason : messages.front().text; }

    static DeskOutcome refused(Code code, DeskMessage message) {
        return DeskOutcome{code, {std::move(message)}, {}};
    }
    static DeskOutcome refusedQuietly(Code code, std::string_view reason) {
        return DeskOutcome{code, {}, std::string(reason)};
    }
};

} // namespace lm
