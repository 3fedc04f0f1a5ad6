#pragma once

#include "ItemTable.h"
#include "LineFile.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

// Show files: the items of a show list in list order, each as 11 lines (the item table's fields
// 0 to 10), code page 932 with CR LF, no header. An empty list is an empty file.
namespace showFile {

inline constexpr int linesPerItem = ItemTable::fieldCount;

struct Contents {
    std::vector<ItemTable::Row> items; // at most ItemTable::rowCount
    bool tooMany = false;              // the file held more complete items than a list can
};

// The complete items of the bytes; an incomplete last item is discarded. Lines may end in
// CR LF, CR or a lone LF; bytes that do not decode become U+FFFD.
Contents parse(std::string_view bytes);

// The items of the file, or nothing when it cannot be opened or read.
std::optional<Contents> read(const std::filesystem::path& path);

// The bytes of the table's items in use.
WriteStatus encode(const ItemTable& table, std::string& bytes);

// Writes the table's items. A file that is there already changes only when the new contents
// are complete: on any failure it keeps its old contents.
WriteStatus write(const std::filesystem::path& path, const ItemTable& table);

// The name a save uses: ".txt" appended or put in place of an extension, unless the name
// already ends in ".txt" (any letter case) or holds a dot and at most 4 characters.
std::string saveName(std::string_view name);

// The chooser's folder and name joined with one separator, also at the root "/".
std::filesystem::path join(std::string_view folder, std::string_view name);

} // namespace showFile
} // namespace lm
