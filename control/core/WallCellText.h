#pragma once

#include "WallCell.h"

#include <cstdint>
#include <string>

namespace lm {

// How one display computer's cell reads in the strip of sixteen: its text (the number, a mark
// of its state, and the list line or further marks), its tool tip, and its colours. Each state
// has a mark of its own, so that no colour alone tells it.
struct WallCellText {
    struct Rgb {
        int red = 0;
        int green = 0;
        int blue = 0;
        friend bool operator==(const Rgb&, const Rgb&) = default;
    };

    std::string text;
    std::string tip;
    Rgb back;
    Rgb ink;

    // silentSince: when the display fell silent, as the operator's clock shows it ("14:03:27").
    static WallCellText of(int display, const WallCell& cell, const std::string& silentSince);
};

} // namespace lm
