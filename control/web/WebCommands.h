#pragma once

#include "WebCommandLine.h"
#include "WebPlaces.h"

#include <iosfwd>

namespace lm {

// The web API's one-shot commands, for a computer without anyone at its window: they change
// the settings file, which a control program that runs reads again at its next request.
// Exit status: 0 done, 1 refused or failed (one line on `err` says why).
struct WebConsole {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Standard input is a terminal: the password is asked for twice, without echo.
    bool terminal = false;
};

int runWebCommand(const WebCommandLine& line, const WebPlaces& places, WebConsole console);
// The same with the process's standard streams and the user's folders for the working folder.
int runWebCommand(const WebCommandLine& line);

} // namespace lm
