#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The words both programs agree on. They travel as text and are compared exactly:
// no trimming, no case or width folding.
namespace lm::vocabulary {

inline constexpr std::string_view kindText = "文字";
inline constexpr std::string_view kindPicture = "画像";
inline constexpr std::string_view kindEnd = "終了";

inline constexpr std::string_view moveStill = "移動しない";
inline constexpr std::string_view moveLeft = "左へ";
inline constexpr std::array<std::string_view, 2> movementWords{moveStill, moveLeft};

// Fastest first.
inline constexpr std::array<std::string_view, 5> speedWords{"速く", "やや速く", "中", "やや遅く",
                                                            "遅く"};
inline constexpr int speedCount = static_cast<int>(speedWords.size());
inline constexpr std::string_view defaultSpeed = "中";

// Index = colour number of the standard 16-colour PC palette.
inline constexpr std::array<std::string_view, 16> colourWords{
    "黒",       "暗い青",         "暗い緑",     "暗いシアン", "暗い赤",   "暗いマゼンダ",
    "暗い黄色", "明るい灰色",     "暗い灰色",   "明るい青",   "明るい緑", "明るいシアン",
    "明るい赤", "明るいマゼンダ", "明るい黄色", "白"};
inline constexpr int colourCount = static_cast<int>(colourWords.size());
inline constexpr std::string_view defaultTextColour = "白";
inline constexpr std::string_view defaultBackColour = "黒";

inline constexpr int maxDisplays = 16;

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// First exact match in number order; no colour number for any other word.
std::optional<int> colourNumber(std::string_view word);

// Red, green and blue of colour number 0 to 15.
Rgb colourRgb(int number);

// Position in the speed table, 0 (fastest) to 4; none for a word outside it.
std::optional<int> speedPosition(std::string_view word);

// " 1" ... " 16": the texts of both programs' display-number lists.
std::vector<std::string> displayNumberTexts();

} // namespace lm::vocabulary
