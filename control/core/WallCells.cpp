#include "WallCells.h"

#include "Vocabulary.h"

namespace lm {

namespace {

// The clock mark of display n's cell: untrusted only where a neighbour that is there runs on
// another computer, since one computer's displays share its clock.
void markClock(int n, const DisplayWall& wall, WallCell& cell) {
    const std::optional<SignOfLife>& life = wall.life(n);
    if (!life || !life->clock || life->clock->isTrusted()) {
        return;
    }
    bool neighbourElsewhere = false;
    for (const int other : {n - 1, n + 1}) {
        if (other >= 1 && other <= vocabulary::maxDisplays && wall.isPresent(other)) {
            const std::optional<SignOfLife>& beside = wall.life(other);
            neighbourElsewhere = neighbourElsewhere || (beside && !beside->isSameComputer(*life));
        }
    }
    if (!neighbourElsewhere) {
        return;
    }
    cell.clock =
        life->clock->synchronised ? WallCell::Clock::Imprecise : WallCell::Clock::Unsynchronised;
    cell.clockErrorUs = life->clock->errorUs;
}

} // namespace

WallCell wallCellOf(int n, const DisplayWall& wall, int row, bool urgent,
                    const std::function<bool(int)>& wakeUpsHeard) {
    WallCell cell;
    if (wall.isSilent(n)) {
        cell.state = WallCell::State::Silent;
        return cell;
    }
    if (!wall.isPresent(n)) {
        return cell;
    }
    if (urgent) {
        cell.state = WallCell::State::Urgent;
    } else if (row >= 0) {
        cell.state = WallCell::State::Showing;
        cell.line = row + 1;
    } else {
        cell.state = WallCell::State::Idle;
    }
    markClock(n, wall, cell);
    // One answer may come before its wake-up is read; a second one without any says more.
    const std::optional<SignOfLife>& life = wall.life(n);
    cell.noWakeUps =
        wakeUpsHeard && life && life->port != 0 && wall.answersSeen(n) >= 2 && !wakeUpsHeard(n);
    return cell;
}

} // namespace lm
