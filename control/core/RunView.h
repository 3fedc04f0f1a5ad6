#pragma once

#include <string>

namespace lm {

// What the show run controller reads of the settings a show runs with, and shows of its run.
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

    // Something a cell of the wall shows may have changed: a display's presence, its row, its
    // silence.
    virtual void wallChanged() = 0;
};

} // namespace lm
