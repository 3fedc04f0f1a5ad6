#pragma once

#include <string>
#include <string_view>

// Texts are UTF-8 inside both programs; lengths are counted in characters, never bytes.
namespace lm {

std::u32string toUtf32(std::string_view utf8);
std::string toUtf8(std::u32string_view text);

// Number of characters (code points) of a UTF-8 text.
std::size_t characterCount(std::string_view utf8);

// The file name of a picture path: the text after the last "\" or "/", or the whole
// path when it holds neither. Show files written on Windows carry "\".
std::string bareName(std::string_view path);

bool hasLineBreak(std::string_view text);

} // namespace lm
