#include "Clipboard.h"

#include "XServer.h"

#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace lm::e2e {

namespace {

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
struct Freer {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, Freer>;

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

} // namespace

QString Clipboard::text(const XServer& server, int ms) {
    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, ConnectionCloser> connection(
        xcb_connect(server.display().toLocal8Bit().constData(), &screenNumber));
    if (xcb_connection_has_error(connection.get()) != 0) {
        return {};
    }
    xcb_connection_t* const c = connection.get();
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    // The owner answers by writing the text into a property of a window of ours.
    const xcb_window_t requestor = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, requestor, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = atom(c, "CLIPBOARD");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    const xcb_atom_t property = atom(c, "LM_E2E_CLIPBOARD");
    xcb_convert_selection(c, requestor, clipboard, utf8, property, XCB_CURRENT_TIME);
    xcb_flush(c);

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        const Reply<xcb_generic_event_t> event(xcb_poll_for_event(c));
        if (!event) {
            if (xcb_connection_has_error(c) != 0) {
                return {};
            }
            QThread::msleep(10);
            continue;
        }
        if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY) {
            continue;
        }
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
        if (notify->property == XCB_ATOM_NONE) {
            return {};
        }
        // A message box's text is a few hundred bytes: far below any incremental transfer.
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c, xcb_get_property(c, 1, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16),
            nullptr));
        if (!reply) {
            return {};
        }
        return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                 xcb_get_property_value_length(reply.get()));
    }
    return {};
}

} // namespace lm::e2e
