// The save rule on any name: it never fails, and a name it returns is kept as it is.
#include "ShowFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    const std::string saved = lm::showFile::saveName(name);
    if (lm::showFile::saveName(saved) != saved) {
        __builtin_trap();
    }
    (void)lm::showFile::join("/tmp/", saved);
    return 0;
}
