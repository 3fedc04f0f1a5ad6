#pragma once

#include "DisplayWall.h"
#include "WallCell.h"

#include <functional>

namespace lm {

// What the control program knows of display computer n, as its cell in the strip: whether its
// program runs, what it shows (row: the list row it was last sent, -1 for none; urgent: it was
// sent the urgent message), whether its clock can be trusted beside its neighbours, and
// whether its wake-ups arrive (wakeUpsHeard unset: nothing is said of them).
WallCell wallCellOf(int n, const DisplayWall& wall, int row, bool urgent,
                    const std::function<bool(int)>& wakeUpsHeard);

} // namespace lm
