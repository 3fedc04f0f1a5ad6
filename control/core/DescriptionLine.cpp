#include "DescriptionLine.h"

#include "TextRules.h"
#include "Vocabulary.h"

namespace lm {

std::optional<std::string> descriptionLine(const ItemTable::Row& row) {
    const std::string& kind = row[ItemTable::kindField];
    std::string line;
    if (kind == vocabulary::kindText) {
        // A text always moves to the left, so its line says so whatever its movement field holds.
        line = kind + "を左へ" + row[ItemTable::textColourField] + "色で" +
               row[ItemTable::backColourField] + "色の上に「" + row[ItemTable::textField] + "」";
        return line;
    }
    if (kind == vocabulary::kindPicture) {
        line = kind + "を " + row[ItemTable::textField] + row[ItemTable::movementField] + "," +
               row[ItemTable::backColourField] + "色の上に「" +
               bareName(row[ItemTable::pictureField]) + "」を表示する。";
        return line;
    }
    return std::nullopt;
}

} // namespace lm
