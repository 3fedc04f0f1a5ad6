#include "ValueCheck.h"

#include "LineFile.h"
#include "PictureCopy.h"
#include "TextRules.h"

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

std::string pictureProblemWarning(std::string_view picturePath, const ExchangeFolder& exchange) {
    std::string warning = "「";
    warning += fieldLabel::picture;
    switch (pictureRefusal(picturePath, exchange)) {
    case PictureRefusal::None:
        return {};
    case PictureRefusal::ReservedName:
        warning += "」のファイル名「" + bareName(picturePath) +
                   "」は、表示プログラムとのやりとりに使う名前です。この名前では data "
                   "フォルダーにコピーできないため、画像のファイル名を変えて下さい。";
        break;
    case PictureRefusal::NotAPicture:
        warning += "」のファイル「" + std::string(picturePath) +
                   "」は画像（JPEG、BMP、GIF）ではありません。画像でないファイルは data "
                   "フォルダーにコピーできません。";
        break;
    }
    return warning;
}

} // namespace lm
