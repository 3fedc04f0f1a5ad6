#pragma once

#include <filesystem>
#include <string_view>

namespace lm {

// Writes a file so that its target changes only when the new contents are complete: the bytes
// go into a temporary file in the target's folder, which commit() renames over the target in
// one step. Until then (and when anything fails) the target keeps what it held, and a reader
// never sees a half-written file. A save killed half-way leaves its temporary file behind; the
// next ReplacingFile in that folder removes it.
class ReplacingFile {
public:
    enum class Kind {
        // The operator's own file (a show file): a symbolic link is written through to its
        // target, a file that is there keeps its mode, and a new one gets the umask's mode.
        Own,
        // A file in the Exchange folder, which anyone with write access to the share may have
        // changed: a symbolic link there is replaced, never followed, and the file gets
        // lineFile::sharedFileMode.
        Shared
    };

    explicit ReplacingFile(std::filesystem::path target, Kind kind = Kind::Own);
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

    // True for the names of the temporary files: ".lmtmp-" ... ".part".
    static bool isTemporaryName(std::string_view name);

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    bool m_failed = false;
    bool m_committed = false;
};

} // namespace lm
