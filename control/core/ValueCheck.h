#pragma once

#include "ExchangeFolder.h"

#include <string>
#include <string_view>

namespace lm {

// The labels of the window's entry controls, as the operator reads them.
namespace fieldLabel {
inline constexpr std::string_view text = "表示させる文字";    // Text1
inline constexpr std::string_view movement = "画像の移動";    // ComboTMove
inline constexpr std::string_view textColour = "文字の色";    // ComboTForeColor
inline constexpr std::string_view backColour = "バックの色";  // ComboTBackColor
inline constexpr std::string_view speed = "表示の速さ";       // ComboTSpeed
inline constexpr std::string_view picture = "表示させる画像"; // the picture's file name
inline constexpr std::string_view kind = "種類";              // an item's kind word
} // namespace fieldLabel

// Every value that goes into a job file or a show file must survive the trip unchanged:
// no line break (it would shift every later line) and only characters of code page 932.
// Returns a warning for the operator that names the field and the problem, or an empty text
// when the value can travel.
std::string valueProblemWarning(std::string_view label, std::string_view value);

// A picture goes into the Exchange folder, where every computer on the share reads it: only a
// JPEG, BMP or GIF, and never under a name the programs use for themselves. Returns a warning
// that names the picture and why it cannot go, or an empty text.
std::string pictureProblemWarning(std::string_view picturePath, const ExchangeFolder& exchange);

} // namespace lm
