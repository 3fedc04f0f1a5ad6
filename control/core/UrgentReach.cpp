#include "UrgentReach.h"

#include "DisplayRanges.h"

#include <algorithm>

namespace lm {

namespace {
constexpr int statusShown = 0;
constexpr int statusNone = 1;
constexpr int statusSent = 3;

std::string computers(const std::vector<int>& displays) {
    return "コンピュータ " + displayRanges(displays) + " ";
}
} // namespace

int UrgentReach::status() const {
    if (!showing.empty()) {
        return statusShown;
    }
    return reachedNone() ? statusNone : statusSent;
}

std::string UrgentReach::line() const {
    // The message stays in force either way: a display that starts later gets it too.
    constexpr std::string_view comingBack = "表示プログラムが起動したコンピュータにも表示します。";
    if (reachedNone()) {
        return "表示プログラムが見つからないため、緊急表示はどの画面にも出ていません。" +
               std::string(comingBack);
    }
    std::string text;
    if (!showing.empty()) {
        text = "緊急表示を" + computers(showing) + "が表示しています。";
        if (!unconfirmed.empty()) {
            text += computers(unconfirmed) + "には送りましたが、表示を確かめられません。";
        }
        if (!waiting.empty()) {
            text += computers(waiting) + "は、まだ表示していません。";
        }
    } else {
        std::vector<int> sent = unconfirmed;
        sent.insert(sent.end(), waiting.begin(), waiting.end());
        std::sort(sent.begin(), sent.end());
        text =
            "緊急表示を" + computers(sent) + "に送りましたが、表示しているかを確かめられません。";
    }
    return text + std::string(comingBack);
}

} // namespace lm
