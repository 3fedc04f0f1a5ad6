#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lm {

// The small records the programs leave in the Exchange folder beside the job and answer files
// (presence files, instants): a header line, "key=value" lines, and "end", each ended by CR LF,
// in ASCII. Written whole; a reader takes only a file whose end line has ended, so one caught
// while it is written reads as nothing.
namespace recordLines {

using Field = std::pair<std::string_view, std::string_view>;

// Appends "key=value" and CR LF.
void add(std::string& bytes, std::string_view key, std::string_view value);
// The header, the fields, and the end line.
std::string encode(std::string_view header, const std::vector<Field>& fields);
// The fields between the header and the end line, in their order; nothing when the bytes are
// not one whole record under this header, or a line holds no '=' or a CR of its own.
std::optional<std::vector<Field>> parse(std::string_view bytes, std::string_view header);

} // namespace recordLines
} // namespace lm
