#pragma once

#include <string>
#include <string_view>

namespace lm {

inline constexpr std::string_view nextAnswerWord = "次へ";
inline constexpr std::string_view endAnswerWord = "表示終了";

// One answer line of a display: the job's first line, a comma, the answer word.
struct Answer {
    std::string field1; // the text before the first comma
    std::string field2; // the text after it, without leading blanks

    // Split at the first comma; a line without one is all field 1.
    static Answer parse(std::string_view line);

    // An empty answer (missing file, empty file, empty field 1) reports nothing.
    bool isEmpty() const { return field1.empty(); }
    // The item number it reports: field 1 read as a number, 0 when it holds none.
    double value() const;
    bool isEndWord() const { return field2 == endAnswerWord; }

    friend bool operator==(const Answer&, const Answer&) = default;
};

} // namespace lm
