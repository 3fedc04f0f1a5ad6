#include "StartCheck.h"

#include "PictureCopy.h"
#include "TextRules.h"
#include "ValueCheck.h"
#include "Vocabulary.h"

#include <utility>

namespace lm {

namespace {

bool isKnownKind(const std::string& kind) {
    return kind == vocabulary::kindText || kind == vocabulary::kindPicture;
}

bool isMovementWord(const std::string& word) {
    return word == vocabulary::moveStill || word == vocabulary::moveLeft;
}

// Why item r cannot go to the displays, or empty.
std::string itemProblem(const ItemTable::Row& row, int r, const ExchangeFolder& exchange) {
    const std::string itemName = std::to_string(r + 1) + "番目の項目";
    const std::string& kind = row[ItemTable::kindField];
    // A display ends itself on "終了" and stands still on any other unknown kind. Such an item
    // has no line in List1, so it cannot be selected and deleted: say what helps.
    if (!isKnownKind(kind)) {
        return itemName + "の種類「" + kind +
               "」は表示できません。種類が「文字」か「画像」の項目だけを表示できます。"
               "この項目は表示のリストに出ないため、ファイルを直して読み込み直すか、"
               "「すべて削除」して作り直して下さい。";
    }
    const std::pair<std::string_view, std::string> carried[] = {
        {fieldLabel::text, row[ItemTable::textField]},
        {fieldLabel::textColour, row[ItemTable::textColourField]},
        {fieldLabel::backColour, row[ItemTable::backColourField]},
        {fieldLabel::picture, bareName(row[ItemTable::pictureField])}};
    for (const auto& [label, value] : carried) {
        if (std::string warning = valueProblemWarning(label, value); !warning.empty()) {
            return itemName + "：" + warning;
        }
    }
    // A show file from elsewhere may name any file: only pictures go into the share.
    if (kind == vocabulary::kindPicture && !row[ItemTable::pictureField].empty()) {
        if (std::string warning = pictureProblemWarning(row[ItemTable::pictureField], exchange);
            !warning.empty()) {
            return itemName + "：" + warning;
        }
    }
    return {};
}

} // namespace

std::string showStartProblem(const ItemTable& table, const std::string& movement,
                             const std::string& speed, const ExchangeFolder& exchange) {
    const int count = table.count();
    if (count < 2) {
        return std::string(startCheck::tooFewItemsText);
    }
    for (const auto& [label, value] :
         {std::pair{fieldLabel::movement, movement}, std::pair{fieldLabel::speed, speed}}) {
        if (std::string warning = valueProblemWarning(label, value); !warning.empty()) {
            return warning;
        }
    }
    bool anyPicture = false;
    for (int r = 0; r < count; ++r) {
        if (std::string problem = itemProblem(table.row(r), r, exchange); !problem.empty()) {
            return problem;
        }
        anyPicture = anyPicture || table.row(r)[ItemTable::kindField] == vocabulary::kindPicture;
    }
    // Every picture job would start nothing on the displays, and the show would stall.
    if (anyPicture && !isMovementWord(movement)) {
        return "「画像の移動」が「移動しない」でも「左へ」でもないため、画像を表示できません。"
               "「移動しない」か「左へ」を選んで下さい。";
    }
    return {};
}

} // namespace lm
