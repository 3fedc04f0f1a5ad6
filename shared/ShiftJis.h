#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lm {

// Shift-JIS as Windows code page 932, the encoding of every file both programs exchange.
class ShiftJis {
public:
    // The code page 932 bytes of a UTF-8 text, or nothing when a character would not come
    // back unchanged. The characters that Linux input methods give for the JIS forms
    // (〜 U+301C, − U+2212, ‖, —, ¢, £, ¬) count as their code page 932 twins.
    static std::optional<std::string> encode(std::string_view utf8);

    static bool canEncode(std::string_view utf8) { return encode(utf8).has_value(); }

    // UTF-8 of code page 932 bytes; a byte sequence that does not decode becomes U+FFFD.
    static std::string decode(std::string_view bytes);

    // The conversions the C library lacks ("UTF-8 → CP932", "CP932 → UTF-8"), or empty.
    // Without them encode and decode throw, so a program asks this first, at its start.
    static std::string missingConverters();
};

} // namespace lm
