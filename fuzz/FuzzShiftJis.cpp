// Decoding any bytes never fails, and whatever decodes and encodes again reads back unchanged.
#include "ShiftJis.h"
#include "TextRules.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = lm::ShiftJis::decode(bytes);
    if (lm::toUtf8(lm::toUtf32(text)) != text) {
        __builtin_trap(); // decoding must give valid UTF-8
    }
    if (const auto encoded = lm::ShiftJis::encode(text)) {
        if (lm::ShiftJis::decode(*encoded) != text) {
            __builtin_trap();
        }
    }
    // The same bytes taken as (possibly broken) UTF-8 input of the encoder.
    (void)lm::ShiftJis::encode(bytes);
    (void)lm::characterCount(bytes);
    return 0;
}
