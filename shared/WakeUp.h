#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// The datagram that tells another program of the sign to poll now: "LMWK", the version byte 1
// and the bare name of the Exchange folder file just written, to the datagram's end. It holds
// nothing else: the file stays the only truth, and a receiver reads it as its poll would.
class WakeUp {
public:
    static constexpr std::size_t maxNameBytes = 64;
    // Anything longer is not read: a receiver reads at most one byte more than this.
    static constexpr std::size_t maxDatagramBytes = 128;

    // Empty for a name that parse() would refuse.
    static std::string encode(std::string_view name);
    // The file name, or nothing for a foreign or broken datagram: wrong magic or version, no
    // name or a longer one, any byte after the name (a NUL, a line end), or a name that is not
    // bare printable ASCII.
    static std::optional<std::string> parse(std::string_view bytes);
};

} // namespace lm
