#include "PathKey.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace lm {

std::string pathKey(const std::filesystem::path& folder) {
    // FNV-1a, 64 bits.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : folder.string()) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    std::string key = folder.filename().string();
    if (key.empty() || key == "." || key == "..") {
        key = "root";
    }
    std::array<char, 17> digits{};
    std::to_chars(digits.data(), digits.data() + 16, hash, 16);
    return key + "-" + digits.data();
}

} // namespace lm
