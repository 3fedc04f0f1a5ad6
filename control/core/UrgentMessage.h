#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// An urgent message: a text shown on every screen at once, over the running show, until it
// ends by itself or the operator ends it. It travels as an ordinary text job, so displays of
// any age show it.
struct UrgentMessage {
    static constexpr std::string_view defaultTextColour = "白";
    static constexpr std::string_view defaultBackColour = "明るい赤";
    static constexpr std::string_view emptyTextWarning = "表示させる文字を入力して下さい。";

    std::string text;
    std::string textColour{defaultTextColour};
    std::string backColour{defaultBackColour};
    // When it ends by itself, in µs of the real-time clock (UTC), so that it still ends then
    // after the computer was off; none: when the operator ends it.
    std::optional<std::int64_t> endsAtUs;

    // Why it cannot be sent, in the words "リストに追加" uses for the same values; empty when
    // it can.
    std::string problem() const;

    friend bool operator==(const UrgentMessage&, const UrgentMessage&) = default;
};

} // namespace lm
