#pragma once

#include <QColor>
#include <QPoint>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace lm::e2e {

class XServer;

// Watches one pixel on each of several X servers from a thread of its own, every few ms, and
// records each change of its colour: when a sign starts an item, its window turns the item's
// background colour at once, so the change marks the moment the screen shows the start.
// Pixels are read straight from the server (GetImage), much faster than a screenshot. Given a
// width, it watches a row of pixels from the one given: any change in the row counts, so each
// new position of a moving text is one change.
class ScreenWatch {
public:
    using Clock = std::chrono::steady_clock;

    struct Change {
        Clock::time_point at;
        int screen = 0; // index into the servers given
        QColor colour;  // of the first pixel
    };

    ScreenWatch(const std::vector<const XServer*>& servers, QPoint pixel, int periodMs = 2,
                int width = 1);
    ~ScreenWatch();
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;

    // False when a server could not be reached.
    bool isWatching() const { return m_connected; }
    std::vector<Change> changes() const;

private:
    void run();

    std::vector<QString> m_displays;
    QPoint m_pixel;
    int m_periodMs = 2;
    int m_width = 1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_ready{false};
    mutable std::mutex m_mutex;
    std::vector<Change> m_changes;
    std::thread m_thread;
};

} // namespace lm::e2e
