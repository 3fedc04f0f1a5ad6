#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lm {

// The one folder whose show files the web API reaches: a name from the network is a bare
// name in it, and no other path can be named.
class ShowFolder {
public:
    explicit ShowFolder(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    // The show files (*.txt, as the window's chooser lists them first), sorted.
    std::vector<std::string> shows() const;
    // The file of that name; ApiError bad_value for a name that is not bare.
    std::filesystem::path fileOf(const std::string& name) const;

private:
    std::filesystem::path m_folder;
};

} // namespace lm
