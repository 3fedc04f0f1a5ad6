#include "ValueCheck.h"

#include "LineFile.h"

namespace lm {

std::string valueProblemWarning(std::string_view label, std::string_view value) {
    std::string warning = "「";
    warning += label;
    switch (checkValue(value)) {
    case ValueProblem::None:
        return {};
    case ValueProblem::LineBreak:
        warning += "」に改行が含まれています。改行は表示プログラムに送れないため、使えません。";
        break;
    case ValueProblem::NotShiftJis:
        warning += "」に、表示プログラムに送れない文字（シフトJISにない文字）が含まれています。";
        break;
    }
    return warning;
}

} // namespace lm
