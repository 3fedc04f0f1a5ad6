#pragma once

#include "ExchangeFolder.h"
#include "ItemTable.h"

#include <string>
#include <string_view>

namespace lm {

// Why a show of the list cannot start with these settings: the warning "表示させる" shows, or
// empty when it can. Fewer than two items; a value a job file cannot carry; an item of a kind
// the displays cannot show; a picture that may not go into the Exchange folder; pictures with a
// movement word the displays do not know.
std::string showStartProblem(const ItemTable& table, const std::string& movement,
                             const std::string& speed, const ExchangeFolder& exchange);

namespace startCheck {
inline constexpr std::string_view warningTitle = "注意！";
// Two lines joined by CR LF; a message box shows them as two lines.
inline constexpr std::string_view tooFewItemsText =
    "２項目以上の動作（文字や画像）を\r\n設定して下さい。";
} // namespace startCheck

} // namespace lm
