#include "ShowFile.h"

#include "ReplacingFile.h"
#include "TextRules.h"

#include <algorithm>

namespace lm::showFile {

namespace {
constexpr std::string_view extension = ".txt";
}

Contents parse(std::string_view bytes) {
    const std::vector<std::string> lines = lineFile::decode(bytes);
    Contents contents;
    const std::size_t complete = lines.size() / linesPerItem;
    const std::size_t kept = std::min<std::size_t>(complete, ItemTable::rowCount);
    contents.tooMany = complete > kept;
    contents.items.resize(kept);
    for (std::size_t item = 0; item < kept; ++item) {
        std::copy_n(lines.begin() + static_cast<std::ptrdiff_t>(item * linesPerItem), linesPerItem,
                    contents.items[item].begin());
    }
    return contents;
}

std::optional<Contents> read(const std::filesystem::path& path) {
    const std::optional<std::string> bytes = lineFile::readBytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    return parse(*bytes);
}

WriteStatus encode(const ItemTable& table, std::string& bytes) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(table.count()) * linesPerItem);
    for (int r = 0; r < table.count(); ++r) {
        const ItemTable::Row& row = table.row(r);
        lines.insert(lines.end(), row.begin(), row.end());
    }
    return lineFile::encode(lines, bytes);
}

WriteStatus write(const std::filesystem::path& path, const ItemTable& table) {
    std::string bytes;
    if (const WriteStatus status = encode(table, bytes); status != WriteStatus::Ok) {
        return status;
    }
    ReplacingFile file(path);
    return file.write(bytes) && file.commit() ? WriteStatus::Ok : WriteStatus::IoError;
}

std::string saveName(std::string_view name) {
    const std::u32string characters = toUtf32(name);
    const std::size_t dot = characters.find(U'.');
    if (dot != std::u32string::npos && characters.size() <= 4) {
        return std::string(name);
    }
    std::u32string tail =
        characters.substr(characters.size() - std::min<std::size_t>(characters.size(), 4));
    for (char32_t& c : tail) {
        if (c >= U'a' && c <= U'z') {
            c = c - U'a' + U'A';
        }
    }
    if (tail == U".TXT") {
        return std::string(name);
    }
    if (dot != std::u32string::npos) {
        return toUtf8(characters.substr(0, dot)) + std::string(extension);
    }
    return std::string(name) + std::string(extension);
}

std::filesystem::path join(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

} // namespace lm::showFile
