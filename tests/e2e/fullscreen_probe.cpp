// A player's window and its full-screen requests to the window manager:
//   fullscreen_probe window TITLE    maps a plain resizable window and keeps it until killed
//   fullscreen_probe WINDOW on|off   asks for that window in full screen or out of it
// (Toolkit programs such as xmessage fix their size hints as they like, and openbox turns down
// full screen for a window it may not resize.)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <xcb/xcb.h>

static xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
}

static int window(xcb_connection_t* c, const std::string& title) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t values[] = {screen->white_pixel};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 50, 50, 320, 240, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      values);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
    xcb_map_window(c, w);
    xcb_flush(c);
    pause(); // until killed
    return 0;
}

int main(int argc, char** argv) {
    const std::string verb = argc == 3 ? argv[2] : "";
    const bool make = argc == 3 && std::string(argv[1]) == "window";
    if (!make && verb != "on" && verb != "off") {
        std::fprintf(stderr, "usage: fullscreen_probe window TITLE | WINDOW on|off\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    if (make) {
        return window(c, verb);
    }
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    ev.type = atom(c, "_NET_WM_STATE");
    ev.data.data32[0] = verb == "on" ? 1 : 0; // add, remove
    ev.data.data32[1] = atom(c, "_NET_WM_STATE_FULLSCREEN");
    ev.data.data32[3] = 1; // from an application
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    // A round trip before leaving: a request still in flight when the connection closes may
    // never be carried out.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return 0;
}
