#include "ShowFolder.h"

#include "ApiError.h"
#include "FileNameRule.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace lm {

namespace {

bool isShowFileName(const std::string& name) {
    constexpr std::string_view extension = ".txt";
    if (name.size() <= extension.size()) {
        return false;
    }
    return std::equal(
        extension.begin(), extension.end(), name.end() - extension.size(),
        [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

} // namespace

std::vector<std::string> ShowFolder::shows() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && isShowFileName(name)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::filesystem::path ShowFolder::fileOf(const std::string& name) const {
    if (const std::string problem = fileNameRule::problem(name); !problem.empty()) {
        throw ApiError(ApiErrorKind::BadValue, "\"name\": " + problem);
    }
    return m_folder / name;
}

} // namespace lm
