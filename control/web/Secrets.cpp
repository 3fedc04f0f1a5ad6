#include "Secrets.h"

#include <sodium.h>
#include <stdexcept>
#include <vector>

namespace lm::secrets {

namespace {

void needSodium() {
    // Thread-safe and cheap after the first call.
    if (sodium_init() < 0) {
        throw std::runtime_error("libsodium cannot start");
    }
}

std::string hex(const unsigned char* data, std::size_t size) {
    std::string text(size * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), data, size);
    text.pop_back();
    return text;
}

} // namespace

std::string randomHex(std::size_t bytes) {
    needSodium();
    std::vector<unsigned char> data(bytes);
    randombytes_buf(data.data(), data.size());
    std::string text = hex(data.data(), data.size());
    sodium_memzero(data.data(), data.size());
    return text;
}

std::string sha256Hex(std::string_view text) {
    needSodium();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return hex(digest, sizeof digest);
}

bool equal(std::string_view a, std::string_view b) {
    needSodium();
    return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string newToken() {
    return "lmt_" + randomHex(32);
}

std::string newSessionId() {
    return randomHex(32);
}

} // namespace lm::secrets
