#pragma once

#include "UiCalls.h"

class QObject;

namespace lm {

// The web API's way onto the desk's thread: a task posted to the event loop of the thread the
// context object lives in (the control window's). A task posted after the loop has ended, or
// once the object is gone, is dropped by Qt; UiCalls then answers 503 after its time-out.
class QtDeskThread {
public:
    static UiCalls::Post poster(QObject* context);
};

} // namespace lm
