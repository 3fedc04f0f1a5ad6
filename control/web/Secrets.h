#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lm::secrets {

// `bytes` bytes from the system's random source, as lower-case hex.
std::string randomHex(std::size_t bytes);
// The SHA-256 of the text, as lower-case hex.
std::string sha256Hex(std::string_view text);
// Compares in a time that does not depend on where the texts differ.
bool equal(std::string_view a, std::string_view b);
// A new API token: "lmt_" and 256 random bits. Shown once; only its SHA-256 is kept.
std::string newToken();
// A new session cookie's value: 256 random bits.
std::string newSessionId();

} // namespace lm::secrets
