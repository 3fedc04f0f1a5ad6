#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace lm {

// Why a value cannot travel in a line file.
enum class ValueProblem {
    None,
    LineBreak,  // would shift every later line
    NotShiftJis // a character that code page 932 cannot hold unchanged
};

enum class WriteStatus { Ok, LineBreak, NotShiftJis, IoError };

ValueProblem checkValue(std::string_view utf8);

// Text files of lines in code page 932. Every line written ends in CR LF; lines read end in
// CR LF, CR or a lone LF (so a file saved by a Linux editor still reads line by line).
namespace lineFile {

// Files larger than this are refused as unreadable; no file of the system comes near it.
inline constexpr std::uintmax_t maxFileBytes = 16U * 1024U * 1024U;

// The CR LF-terminated bytes of the lines, or the first problem of any value (nothing is
// written then, so no file is ever shifted or silently altered).
WriteStatus encode(const std::vector<std::string>& lines, std::string& bytes);

// Splits raw bytes into UTF-8 lines. CR and LF never occur inside a code page 932
// character, so splitting the bytes first is safe (0x5C may be a second byte: 表 is 95 5C).
std::vector<std::string> decode(std::string_view bytes,
                                std::size_t maxLines = static_cast<std::size_t>(-1));

// The mode every file the programs create in the Exchange folder is created with. The folder
// is shared with other computers: nobody outside the sign's group may write there, whatever the
// umask. The group keeps what the umask gives it, so displays elsewhere can write answers.
inline constexpr mode_t sharedFileMode = 0664;

// Creates or replaces the file with the lines in one open-write-close.
WriteStatus write(const std::filesystem::path& path, const std::vector<std::string>& lines);

// Writes the bytes whole in one open-write-close; false on any failure. These are files of the
// Exchange folder: a new file gets sharedFileMode, and a symbolic link in the file's place
// (anyone who can write the share could plant one) is never written through.
bool writeBytes(const std::filesystem::path& path, std::string_view bytes);

// Sets the file's modification time to now, or creates it empty when it is missing (through
// writeBytes, like every file written). False on any failure.
bool touch(const std::filesystem::path& path);

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> readBytes(const std::filesystem::path& path);

// Up to maxLines lines of the file, or nothing when it cannot be opened or read.
std::optional<std::vector<std::string>> read(const std::filesystem::path& path,
                                             std::size_t maxLines = static_cast<std::size_t>(-1));

// The first count lines of the file once all of them have ended; nothing while the file is
// missing or unreadable, or caught while it is written, before its count-th line has ended.
std::optional<std::vector<std::string>> readWholeLines(const std::filesystem::path& path,
                                                       std::size_t count);

} // namespace lineFile
} // namespace lm
