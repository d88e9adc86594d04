// The frame of an X11 window before it is shown. The window manager draws it only once the
// window is mapped, but one that follows the desktop conventions (EWMH) says ahead what it
// will be: asked with _NET_REQUEST_FRAME_EXTENTS, it sets _NET_FRAME_EXTENTS on the window.
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/gui/qt/window.h"

namespace gui::qt {
namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, Free>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

Reply<xcb_get_property_reply_t> property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name,
                                         xcb_atom_t type, uint32_t length) {
    return Reply<xcb_get_property_reply_t>(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, type, 0, length), nullptr));
}

// Whether the window manager lists the request among what it supports.
bool supported(xcb_connection_t* c, xcb_window_t root, xcb_atom_t request) {
    const auto list = property(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024);
    if (!list || list->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(list.get()));
    const int n = xcb_get_property_value_length(list.get()) / 4;
    for (int i = 0; i < n; ++i)
        if (atoms[i] == request) return true;
    return false;
}

} // namespace

QMargins x11_frame(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return {};
    const xcb_window_t w = static_cast<xcb_window_t>(window->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    if (!request || !extents || !supported(c, root, request)) return {};

    xcb_client_message_event_t ask{};
    ask.response_type = XCB_CLIENT_MESSAGE;
    ask.format = 32;
    ask.window = w;
    ask.type = request;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ask));
    xcb_flush(c);
    // The answer comes as a property of the window; a window manager answers at once, so the
    // wait is short and bounded.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    do {
        const auto r = property(c, w, extents, XCB_ATOM_CARDINAL, 4);
        if (r && r->format == 32 && xcb_get_property_value_length(r.get()) == 16) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
            return QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]),
                            static_cast<int>(v[3]));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
    return {};
}

} // namespace gui::qt
