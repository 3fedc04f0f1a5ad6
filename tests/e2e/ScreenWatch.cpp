#include "ScreenWatch.h"

#include "XServer.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

namespace lm::e2e {

namespace {

// One connection to an X server and the root window of its first screen.
class PixelReader {
public:
    explicit PixelReader(const QString& display) {
        m_connection = xcb_connect(display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_connection) != 0) {
            return;
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        if (screen != nullptr) {
            m_root = screen->root;
        }
    }
    ~PixelReader() { xcb_disconnect(m_connection); }
    PixelReader(const PixelReader&) = delete;
    PixelReader& operator=(const PixelReader&) = delete;

    bool isConnected() const { return m_root != 0; }

    // The pixels the screen shows in a row from the point (24-bit depth, 32 bits a pixel,
    // B G R X).
    std::optional<std::vector<uint8_t>> rowAt(QPoint at, int width) const {
        const xcb_get_image_cookie_t cookie = xcb_get_image(
            m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, static_cast<int16_t>(at.x()),
            static_cast<int16_t>(at.y()), static_cast<uint16_t>(width), 1, ~0U);
        std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
            xcb_get_image_reply(m_connection, cookie, nullptr), &std::free);
        if (!reply || xcb_get_image_data_length(reply.get()) < 3) {
            return std::nullopt;
        }
        const uint8_t* data = xcb_get_image_data(reply.get());
        return std::vector<uint8_t>(data, data + xcb_get_image_data_length(reply.get()));
    }

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
};

} // namespace

ScreenWatch::ScreenWatch(const std::vector<const XServer*>& servers, QPoint pixel, int periodMs,
                         int width)
    : m_pixel(pixel), m_periodMs(periodMs), m_width(width) {
    for (const XServer* server : servers) {
        m_displays.push_back(server->display());
    }
    m_thread = std::thread([this] { run(); });
    while (!m_ready) {
        std::this_thread::yield();
    }
}

ScreenWatch::~ScreenWatch() {
    m_stop = true;
    m_thread.join();
}

std::vector<ScreenWatch::Change> ScreenWatch::changes() const {
    const std::lock_guard lock(m_mutex);
    return m_changes;
}

void ScreenWatch::run() {
    std::vector<std::unique_ptr<PixelReader>> readers;
    bool connected = true;
    for (const QString& display : m_displays) {
        readers.push_back(std::make_unique<PixelReader>(display));
        connected = connected && readers.back()->isConnected();
    }
    m_connected = connected;
    m_ready = true;
    if (!connected) {
        return;
    }
    std::vector<std::vector<uint8_t>> last(readers.size());
    auto next = Clock::now();
    while (!m_stop) {
        for (std::size_t i = 0; i < readers.size(); ++i) {
            const std::optional<std::vector<uint8_t>> row = readers[i]->rowAt(m_pixel, m_width);
            const auto at = Clock::now();
            if (row && *row != last[i]) {
                last[i] = *row;
                const std::lock_guard lock(m_mutex);
                m_changes.push_back(
                    {at, static_cast<int>(i), QColor((*row)[2], (*row)[1], (*row)[0])});
            }
        }
        // A late round is not made up for with a burst.
        next = std::max(next + std::chrono::milliseconds(m_periodMs), Clock::now());
        std::this_thread::sleep_until(next);
    }
}

} // namespace lm::e2e
