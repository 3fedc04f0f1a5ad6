#pragma once

#include <string>

namespace lm {

// Who this computer is, as the programs tell it to each other through the Exchange folder.
namespace thisComputer {

// The host name, or "localhost" when the system gives none.
std::string hostName();

// The kernel's boot id: it changes at every start of the computer, so two programs that give
// the same host name and boot id share one clock. Empty when it cannot be read.
std::string bootId();

} // namespace thisComputer
} // namespace lm
