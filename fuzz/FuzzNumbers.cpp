// The numeric value of any text, its rounding and its text form.
#include "NumberText.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = lm::numericValue(text);
    if (std::isnan(value)) {
        __builtin_trap();
    }
    const double rounded = lm::roundHalfEven(value);
    if (std::isfinite(value) && std::fabs(rounded - value) > 0.5) {
        __builtin_trap();
    }
    if (const auto small = lm::toInt16(value)) {
        if (*small != rounded || lm::numericValue(lm::numberText(*small)) != *small) {
            __builtin_trap();
        }
    }
    return 0;
}
