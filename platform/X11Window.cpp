#include "platform/X11Window.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <xcb/xcb.h>

namespace platform {
namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply) {
        return XCB_ATOM_NONE;
    }
    const xcb_atom_t a = reply->atom;
    std::free(reply);
    return a;
}

} // namespace

void setSkipTaskbar(QWidget* window) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    xcb_connection_t* c = x11->connection();
    if (!c) {
        return;
    }
    const xcb_setup_t* setup = xcb_get_setup(c);
    xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = static_cast<xcb_window_t>(window->winId());
    ev.type = atom(c, "_NET_WM_STATE");
    ev.data.data32[0] = 1; // add
    ev.data.data32[1] = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    ev.data.data32[2] = atom(c, "_NET_WM_STATE_SKIP_PAGER");
    ev.data.data32[3] = 1; // from an application
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

} // namespace platform
