// An answer file of any bytes: its first line split into two fields.
#include "Answer.h"
#include "LineFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto lines = lm::lineFile::decode(bytes, 1);
    if (lines.empty()) {
        return 0;
    }
    const lm::Answer answer = lm::Answer::parse(lines.front());
    if (answer.field1.find(',') != std::string::npos ||
        (!answer.field2.empty() && answer.field2.front() == ' ')) {
        __builtin_trap();
    }
    (void)answer.value();
    (void)answer.isEndWord();
    return 0;
}
