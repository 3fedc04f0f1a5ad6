#pragma once

#include "ItemTable.h"

#include <string>

namespace lm::test {

// A text item as the entry controls make it with their preset choices.
inline ItemTable::Row textRow(const std::string& text) {
    return {"文字", text, "移動しない", "白", "黒", "中", "", "", "", "", ""};
}

inline ItemTable::Row pictureRow(const std::string& file, const std::string& movement) {
    return {"画像", "", movement, "白", "黒", "中", file, "", "", "", ""};
}

// The invariant the run controller relies on: every row from the item count on is empty.
inline bool rowsFromCountAreEmpty(const ItemTable& table) {
    for (int r = table.count(); r < ItemTable::rowCount; ++r) {
        if (table.row(r) != ItemTable::Row{}) {
            return false;
        }
    }
    return true;
}

} // namespace lm::test
