#include "ShiftJis.h"

#include "TextRules.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>
#include <utility>

namespace lm {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : m_handle(iconv_open(to, from)) {
        if (m_handle == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("iconv cannot convert between UTF-8 and CP932");
        }
    }
    ~Converter() { iconv_close(m_handle); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can; returns false at the first sequence it cannot convert,
    // with `input` pointing at it. The converter is left reset for the next call.
    bool convert(std::string_view& input, std::string& output) {
        std::array<char, 256> buffer{};
        while (!input.empty()) {
            char* in = const_cast<char*>(input.data());
            std::size_t inLeft = input.size();
            char* out = buffer.data();
            std::size_t outLeft = buffer.size();
            const std::size_t done = iconv(m_handle, &in, &inLeft, &out, &outLeft);
            output.append(buffer.data(), buffer.size() - outLeft);
            input.remove_prefix(input.size() - inLeft);
            if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
                iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

private:
    iconv_t m_handle;
};

// The JIS forms that code page 932 stores under another code point.
constexpr std::array<std::pair<char32_t, char32_t>, 7> jisTwins{{
    {U'\u301C', U'\uFF5E'}, // wave dash -> fullwidth tilde
    {U'\u2212', U'\uFF0D'}, // minus sign -> fullwidth hyphen-minus
    {U'\u2016', U'\u2225'}, // double vertical line -> parallel to
    {U'\u2014', U'\u2015'}, // em dash -> horizontal bar
    {U'\u00A2', U'\uFFE0'}, // cent sign
    {U'\u00A3', U'\uFFE1'}, // pound sign
    {U'\u00AC', U'\uFFE2'}, // not sign
}};

std::u32string foldJisTwins(std::u32string text) {
    for (char32_t& c : text) {
        for (const auto& [jis, cp932] : jisTwins) {
            if (c == jis) {
                c = cp932;
            }
        }
    }
    return text;
}

} // namespace

std::optional<std::string> ShiftJis::encode(std::string_view utf8) {
    // Text that is not valid UTF-8 holds U+FFFD here, which code page 932 lacks.
    const std::u32string wanted = foldJisTwins(toUtf32(utf8));
    const std::string folded = toUtf8(wanted);
    static thread_local Converter converter("CP932", "UTF-8");
    std::string_view input = folded;
    std::string bytes;
    if (!converter.convert(input, bytes)) {
        return std::nullopt;
    }
    // iconv maps some characters to a look-alike (¥ to 0x5C); refuse anything that
    // would not read back as written.
    if (toUtf32(decode(bytes)) != wanted) {
        return std::nullopt;
    }
    return bytes;
}

std::string ShiftJis::missingConverters() {
    std::string missing;
    for (const auto& [to, from] : {std::pair{"CP932", "UTF-8"}, std::pair{"UTF-8", "CP932"}}) {
        const iconv_t handle = iconv_open(to, from);
        if (handle == reinterpret_cast<iconv_t>(-1)) {
            missing += (missing.empty() ? "" : ", ") + std::string(from) + " → " + to;
        } else {
            iconv_close(handle);
        }
    }
    return missing;
}

std::string ShiftJis::decode(std::string_view bytes) {
    static thread_local Converter converter("UTF-8", "CP932");
    std::string text;
    text.reserve(bytes.size() * 2);
    std::string_view input = bytes;
    while (!converter.convert(input, text)) {
        text += "\uFFFD";
        input.remove_prefix(1);
    }
    return text;
}

} // namespace lm
