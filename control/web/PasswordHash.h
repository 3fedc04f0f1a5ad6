#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace lm::passwordHash {

// The password as argon2id with a random salt (libsodium's crypto_pwhash_str): the only form
// in which it is kept. Each hash takes about 64 MB and a tenth of a second, so at most two run
// at once in the whole program; the others wait up to `wait`, then ApiError Unavailable.
std::string make(std::string_view password,
                 std::chrono::milliseconds wait = std::chrono::seconds(10));
// Whether the password is the one the stored hash was made from. An empty or damaged hash
// matches nothing.
bool check(std::string_view stored, std::string_view password,
           std::chrono::milliseconds wait = std::chrono::seconds(10));

// Hashes running or waiting now (for the tests of the limit).
int waitingOrRunning();

} // namespace lm::passwordHash
