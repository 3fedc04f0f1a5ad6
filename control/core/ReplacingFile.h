#pragma once

#include <filesystem>
#include <string_view>

namespace lm {

// Writes a file so that its target changes only when the new contents are complete: the bytes
// go into a temporary file in the target's folder, which commit() renames over the target in
// one step. Until then (and when anything fails) the target keeps what it held, and a reader
// never sees a half-written file.
class ReplacingFile {
public:
    explicit ReplacingFile(std::filesystem::path target);
    // Removes the temporary file unless it was committed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // False when no temporary file could be made (missing or refusing folder).
    bool isOpen() const { return m_fd >= 0; }
    // Appends bytes; false on failure (and commit() then fails too).
    bool write(std::string_view bytes);
    // Copies everything readable from an open file descriptor; false on failure.
    bool copyFrom(int fd);
    // Flushes, closes and renames over the target; false on any failure.
    bool commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    bool m_committed = false;
};

} // namespace lm
