// A job file of any bytes, read as the display reads it: line 1 alone, then up to ten lines.
#include "JobLines.h"
#include "LineFile.h"
#include "NumberText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto head = lm::lineFile::decode(bytes, 1);
    const auto lines = lm::lineFile::decode(bytes, std::tuple_size_v<lm::JobLines>);
    if (lines.size() > std::tuple_size_v<lm::JobLines> || head.size() > 1 ||
        (!head.empty() && (lines.empty() || head.front() != lines.front()))) {
        __builtin_trap();
    }
    if (!head.empty()) {
        (void)lm::numericValue(head.front());
    }
    return 0;
}
