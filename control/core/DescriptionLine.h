#pragma once

#include "ItemTable.h"

#include <optional>
#include <string>

namespace lm {

// The line of List1 that describes an item, e.g. 文字を左へ白色で黒色の上に「お知らせ」 or
// 画像を 左へ,黒色の上に「sample.jpg」を表示する。 Nothing for a row whose kind is neither
// "文字" nor "画像": such rows get no line.
std::optional<std::string> descriptionLine(const ItemTable::Row& row);

} // namespace lm
