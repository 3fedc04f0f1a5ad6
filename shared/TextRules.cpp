#include "TextRules.h"

namespace lm {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

} // namespace

std::u32string toUtf32(std::string_view utf8) {
    std::u32string result;
    result.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int length = 0;
        char32_t code = 0;
        if (lead < 0x80U) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0U) == 0xC0U) {
            length = 2;
            code = lead & 0x1FU;
        } else if ((lead & 0xF0U) == 0xE0U) {
            length = 3;
            code = lead & 0x0FU;
        } else if ((lead & 0xF8U) == 0xF0U) {
            length = 4;
            code = lead & 0x07U;
        }
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto byte = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            valid = isContinuation(byte);
            code = (code << 6U) | (byte & 0x3FU);
        }
        if (!valid) {
            result.push_back(replacementCharacter);
            ++i;
            continue;
        }
        result.push_back(code);
        i += static_cast<std::size_t>(length);
    }
    return result;
}

std::string toUtf8(std::u32string_view text) {
    std::string result;
    result.reserve(text.size() * 3);
    for (char32_t code : text) {
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            code = replacementCharacter;
        }
        if (code < 0x80) {
            result.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (code >> 6U)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3FU)));
        } else if (code < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (code >> 12U)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6U) & 0x3FU)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3FU)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (code >> 18U)));
            result.push_back(static_cast<char>(0x80 | ((code >> 12U) & 0x3FU)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6U) & 0x3FU)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3FU)));
        }
    }
    return result;
}

std::size_t characterCount(std::string_view utf8) {
    return toUtf32(utf8).size();
}

std::string bareName(std::string_view path) {
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos) {
        return std::string(path);
    }
    return std::string(path.substr(separator + 1));
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace lm
