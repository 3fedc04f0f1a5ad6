#include "WakeUp.h"

#include <algorithm>

namespace lm {

namespace {

constexpr std::string_view magic = "LMWK";
constexpr char version = 1;

// Printable ASCII without the separators of a path, so a name can only be a bare file name;
// a NUL or anything else after the name makes it fail here.
bool isBareName(std::string_view name) {
    return !name.empty() && name.size() <= WakeUp::maxNameBytes &&
           std::all_of(name.begin(), name.end(),
                       [](char c) { return c >= 0x20 && c <= 0x7e && c != '/' && c != '\\'; });
}

} // namespace

std::string WakeUp::encode(std::string_view name) {
    if (!isBareName(name)) {
        return {};
    }
    std::string bytes(magic);
    bytes += version;
    bytes += name;
    return bytes;
}

std::optional<std::string> WakeUp::parse(std::string_view bytes) {
    if (bytes.size() > maxDatagramBytes || !bytes.starts_with(magic) ||
        bytes.size() <= magic.size() || bytes[magic.size()] != version) {
        return std::nullopt;
    }
    const std::string_view name = bytes.substr(magic.size() + 1);
    if (!isBareName(name)) {
        return std::nullopt;
    }
    return std::string(name);
}

} // namespace lm
