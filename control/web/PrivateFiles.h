#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lm::privateFiles {

// Makes the folder (and the missing ones above it) for the user alone: mode 0700. False with
// `why` when it cannot be made or is not a folder.
bool makeFolder(const std::filesystem::path& folder, std::string& why);
// Replaces the file whole with the bytes, at mode 0600 from its first byte on: the bytes go
// into a temporary file beside it that is renamed over it once complete.
bool write(const std::filesystem::path& file, std::string_view bytes, std::string& why);
// The whole file; nothing when it is not there or cannot be read (`why` then says which). At
// most `limit` bytes are read.
std::optional<std::string> read(const std::filesystem::path& file, std::string& why,
                                std::size_t limit = 4 * 1024 * 1024);

} // namespace lm::privateFiles
