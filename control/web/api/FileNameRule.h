#pragma once

#include <string>
#include <string_view>

namespace lm {

// A file name the web API takes from the network (a picture's, a show file's): a bare name in
// the one folder it reaches, so that no other path can be named.
namespace fileNameRule {

// Why the name is no bare name (empty, "." or "..", a "/" or "\", a control character, over
// 255 bytes); empty when it is one.
std::string problem(std::string_view name);

} // namespace fileNameRule

} // namespace lm
