#pragma once

#include "DeskState.h"

namespace lm {

// A front end that shows the desk: told what changed after each change, it reads the desk's
// state anew.
class DeskObserver {
public:
    virtual ~DeskObserver() = default;
    virtual void deskChanged(DeskChanges changes) = 0;
};

} // namespace lm
