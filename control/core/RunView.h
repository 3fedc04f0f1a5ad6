#pragma once

#include "UrgentMessage.h"
#include "UrgentReach.h"
#include "WallCell.h"

#include <optional>
#include <string>

namespace lm {

// What the run controller reads from and shows in the control window.
class RunView {
public:
    virtual ~RunView() = default;

    // Current texts of the window's choice lists, read at the moment they matter.
    virtual std::string movementText() const = 0;     // ComboTMove
    virtual std::string speedText() const = 0;        // ComboTSpeed
    virtual std::string displayCountText() const = 0; // ComboNum
    virtual bool repeatChecked() const = 0;           // Check1

    virtual void setShowingVisible(bool visible) = 0;                // lblDisplay
    virtual void setComputerCaption(const std::string& caption) = 0; // lblCon
    virtual void setLineCaption(const std::string& caption) = 0;     // lblNum
    virtual void markStarterStopped() = 0;                           // lblNum turns bright red

    // Job files could not be written (empty: writing works again). Shown without blocking.
    virtual void setJobWriteProblem(const std::string& problem) = 0;

    // The state of display computer n (1 to 16) changed.
    virtual void setWallCell(int display, const WallCell& cell) = 0;

    // The urgent message that runs now, or none.
    virtual void setUrgent(const std::optional<UrgentMessage>& message) = 0;
    // Which displays show it; told whenever that changes.
    virtual void setUrgentReach(const UrgentReach& reach) = 0;
};

} // namespace lm
