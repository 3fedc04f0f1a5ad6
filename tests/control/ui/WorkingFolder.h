#pragma once

#include "TempDir.h"

#include <filesystem>

namespace lm::test {

// A fresh temporary folder that is the process's current folder while this object lives, as
// the folder the operator starts a program in.
class WorkingFolder {
public:
    WorkingFolder() : m_previous(std::filesystem::current_path()) {
        std::filesystem::current_path(m_folder.path());
    }
    ~WorkingFolder() {
        std::error_code ignored;
        std::filesystem::current_path(m_previous, ignored);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    const std::filesystem::path& path() const { return m_folder.path(); }
    std::filesystem::path data() const { return m_folder.path() / "data"; }

private:
    std::filesystem::path m_previous;
    TempDir m_folder;
};

} // namespace lm::test
