#pragma once

#include <filesystem>
#include <string>

namespace lm {

// A short name for a folder that stays the same for the same path: its last part and a hash
// of the whole path ("lmsign-3f2a..."). Names the control program's state folder and its local
// socket, one for each working folder.
std::string pathKey(const std::filesystem::path& folder);

} // namespace lm
