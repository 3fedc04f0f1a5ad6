#include "WallCellText.h"

#include <array>
#include <cstdio>

namespace lm {

namespace {

struct Look {
    WallCellText::Rgb back;
    WallCellText::Rgb ink;
    const char* mark; // each state has its own, so colour is never the only sign
};

Look lookOf(WallCell::State state) {
    switch (state) {
    case WallCell::State::Absent:
        return {{192, 192, 192}, {96, 96, 96}, "－"};
    case WallCell::State::Idle:
        return {{255, 255, 255}, {0, 0, 0}, "○"};
    case WallCell::State::Showing:
        return {{192, 255, 192}, {0, 0, 0}, "▶"};
    case WallCell::State::Urgent:
        return {{255, 192, 0}, {0, 0, 0}, "！"};
    case WallCell::State::Silent:
        break;
    }
    return {{255, 0, 0}, {255, 255, 255}, "×"};
}

std::string stateTip(const WallCell& cell, const std::string& silentSince) {
    switch (cell.state) {
    case WallCell::State::Absent:
        return "表示プログラムが見つかりません（起動していないか、data フォルダーに届いていま"
               "せん）";
    case WallCell::State::Idle:
        return "表示プログラムは動いています（表示していません）";
    case WallCell::State::Showing:
        return "表示のリストの " + std::to_string(cell.line) + " 行目を表示しています";
    case WallCell::State::Urgent:
        return "緊急表示を表示しています";
    case WallCell::State::Silent:
        break;
    }
    return silentSince + " から応答がありません。戻るまで、このコンピュータは飛ばして表示します";
}

std::string milliseconds(std::int64_t us) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f", static_cast<double>(us) / 1000.0);
    return text.data();
}

} // namespace

WallCellText WallCellText::of(int display, const WallCell& cell, const std::string& silentSince) {
    const Look look = lookOf(cell.state);
    WallCellText shown{std::to_string(display) + look.mark,
                       "コンピュータ " + std::to_string(display) + "：" +
                           stateTip(cell, silentSince),
                       look.back, look.ink};
    // Marks of their own beside the state's, so that no colour alone tells them; they take the
    // place of the line number, which the tool tip still gives.
    std::string marks;
    switch (cell.clock) {
    case WallCell::Clock::Trusted:
        break;
    case WallCell::Clock::Unsynchronised:
        marks += "△";
        shown.tip += "\n△ このコンピュータの時計は、時刻合わせ（chrony など）で合っていません。"
                     "隣のコンピュータと同じ瞬間に動けないため、届いた時に表示を始めます";
        break;
    case WallCell::Clock::Imprecise:
        marks += "△";
        shown.tip += "\n△ このコンピュータの時計の誤差が 2 ms を超えています（推定 " +
                     milliseconds(cell.clockErrorUs) +
                     " ms）。隣のコンピュータと同じ瞬間に動けないため、届いた時に表示を始めます";
        break;
    }
    if (cell.noWakeUps) {
        marks += "※";
        shown.tip += "\n※ このコンピュータからの知らせ（UDP）が届いていません。ファイアウォール"
                     "がポートを止めていないか確かめて下さい。表示は続きますが、画面の受け渡し"
                     "が遅れます";
    }
    if (!marks.empty()) {
        shown.text += marks;
    } else if (cell.state == WallCell::State::Showing) {
        shown.text += std::to_string(cell.line);
    }
    return shown;
}

} // namespace lm
