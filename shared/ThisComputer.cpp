#include "ThisComputer.h"

#include "LineFile.h"

#include <array>
#include <unistd.h>

namespace lm::thisComputer {

std::string hostName() {
    std::array<char, 256> host{};
    if (::gethostname(host.data(), host.size() - 1) != 0 || host[0] == '\0') {
        return "localhost";
    }
    return host.data();
}

std::string bootId() {
    const std::optional<std::string> bytes = lineFile::readBytes("/proc/sys/kernel/random/boot_id");
    if (!bytes) {
        return {};
    }
    std::string id = *bytes;
    while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) {
        id.pop_back();
    }
    return id;
}

} // namespace lm::thisComputer
