#pragma once

#include "UiCalls.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace lm::test {

// A stand-in for the Qt event loop's thread: runs what is posted to it, in order, until it is
// held (a loop that has stopped) or destroyed.
class DeskThread {
public:
    DeskThread();
    ~DeskThread();
    DeskThread(const DeskThread&) = delete;
    DeskThread& operator=(const DeskThread&) = delete;

    UiCalls::Post poster();
    // Runs nothing from now on; what was posted stays queued until release().
    void hold();
    void release();
    std::thread::id id() const { return m_thread.get_id(); }

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_held = false;
    bool m_ending = false;
    std::thread m_thread;
};

} // namespace lm::test
