#include "platform/X11Window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
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

xcb_connection_t* connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    return x11->connection();
}

bool isMapped(xcb_connection_t* c, xcb_window_t w) {
    xcb_get_window_attributes_reply_t* attrs =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    const bool mapped = attrs && attrs->map_state != XCB_MAP_STATE_UNMAPPED;
    std::free(attrs);
    return mapped;
}

// The window's _NET_WM_STATE with `wanted` added; the other states stay as they are.
void addStateProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t state,
                      const std::vector<xcb_atom_t>& wanted) {
    std::vector<xcb_atom_t> atoms;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, state, XCB_ATOM_ATOM, 0, 1024), nullptr);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    for (xcb_atom_t a : wanted) {
        if (std::find(atoms.begin(), atoms.end(), a) == atoms.end()) {
            atoms.push_back(a);
        }
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
}

// The atoms of an ATOM property of `w`.
std::vector<xcb_atom_t> atomList(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    std::vector<xcb_atom_t> atoms;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, property, XCB_ATOM_ATOM, 0, 1024), nullptr);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return atoms;
}

// The window named by `property` of `w` (a WINDOW property), or none.
xcb_window_t windowProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    xcb_window_t found = XCB_WINDOW_NONE;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_WINDOW &&
        xcb_get_property_value_length(reply) == 4) {
        found = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    }
    std::free(reply);
    return found;
}

// The running window manager's name, or "" when none says who it is. The check window must
// name itself: a property left behind by a window manager that has gone names nothing.
std::string windowManagerName(xcb_connection_t* c) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
    const xcb_window_t wm = windowProperty(c, root, check);
    if (wm == XCB_WINDOW_NONE || windowProperty(c, wm, check) != wm) {
        return {};
    }
    std::string name;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, wm, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"), 0, 64),
        nullptr);
    if (reply && reply->format == 8) {
        name.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<size_t>(xcb_get_property_value_length(reply)));
    }
    std::free(reply);
    return name;
}

// Puts the toolbar type in front of the window's types under openbox, takes it out elsewhere;
// the types Qt wrote stay behind it for every other reader.
void setCloseBoxOnly(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window) {
        return;
    }
    const auto w = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t type = atom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t toolbar = atom(c, "_NET_WM_WINDOW_TYPE_TOOLBAR");
    std::vector<xcb_atom_t> types = atomList(c, w, type);
    types.erase(std::remove(types.begin(), types.end(), toolbar), types.end());
    if (windowManagerName(c) == "Openbox") {
        types.insert(types.begin(), toolbar);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, type, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(types.size()), types.data());
    xcb_flush(c);
}

bool isWlroots(const std::string& wm) {
    return wm.rfind("wlroots", 0) == 0;
}

// Puts the utility type in front of the window's types, where a normal window would be tiled.
void setFloatingType(xcb_connection_t* c, QWidget* window) {
    const auto w = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t type = atom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t utility = atom(c, "_NET_WM_WINDOW_TYPE_UTILITY");
    std::vector<xcb_atom_t> types = atomList(c, w, type);
    types.erase(std::remove(types.begin(), types.end(), utility), types.end());
    types.insert(types.begin(), utility);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, type, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(types.size()), types.data());
    xcb_flush(c);
}

// Under i3, at each showing: the utility type, and the place asked for once more when the
// window first shows. i3 puts a new floating window inside the frame its default floating
// border would have, and keeps it there when the window asks for no border, so the window
// lands that border's width and title's height away; a request after mapping it honours.
class FloatHook : public QObject {
public:
    explicit FloatHook(QWidget* window) : QObject(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWidget*>(parent());
        if (watched == window && event->type() == QEvent::Show) {
            xcb_connection_t* c = connection();
            if (c && windowManagerName(c) == "i3") {
                setFloatingType(c, window);
                wanted_ = window->pos();
                pending_ = true;
                QWindow* handle = window->windowHandle();
                if (handle && handle != handle_) {
                    handle_ = handle;
                    handle->installEventFilter(this);
                }
            }
        } else if (watched == handle_ && event->type() == QEvent::Expose && pending_ &&
                   handle_->isExposed()) {
            // Qt learns of the shifted place only after the window shows and then takes it
            // for its own, so the request goes out unconditionally and past Qt.
            pending_ = false;
            if (xcb_connection_t* c = connection()) {
                const uint32_t place[] = {static_cast<uint32_t>(wanted_.x()),
                                          static_cast<uint32_t>(wanted_.y())};
                xcb_configure_window(c, static_cast<xcb_window_t>(window->winId()),
                                     XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
                xcb_flush(c);
            }
        }
        return false;
    }

private:
    QPointer<QWindow> handle_;
    QPoint wanted_;
    bool pending_ = false;
};

// Runs `apply` on the window at each showing: the show event comes after Qt has created the
// window and before it maps it, while the window manager has not read its properties yet.
class ShowHook : public QObject {
public:
    ShowHook(QWidget* window, void (*apply)(QWidget*)) : QObject(window), apply_(apply) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) {
            apply_(static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    void (*apply_)(QWidget*);
};

} // namespace

void setSkipTaskbar(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window) {
        return;
    }
    const auto w = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    const xcb_atom_t skipPager = atom(c, "_NET_WM_STATE_SKIP_PAGER");
    if (!isMapped(c, w)) {
        addStateProperty(c, w, state, {skipTaskbar, skipPager});
        xcb_flush(c);
        return;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = state;
    ev.data.data32[0] = 1; // add
    ev.data.data32[1] = skipTaskbar;
    ev.data.data32[2] = skipPager;
    ev.data.data32[3] = 1; // from an application
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

void keepOffTaskbar(QWidget* window) {
    window->installEventFilter(new ShowHook(window, setSkipTaskbar));
    if (window->isVisible()) {
        setSkipTaskbar(window);
    }
}

void keepCloseBoxOnly(QWidget* window) {
    window->installEventFilter(new ShowHook(window, setCloseBoxOnly));
}

void keepFloating(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window) {
        return;
    }
    // Set before the X window exists, the flag makes Qt create it unmanaged.
    if (isWlroots(windowManagerName(c))) {
        window->setWindowFlag(Qt::X11BypassWindowManagerHint, true);
        return;
    }
    window->installEventFilter(new FloatHook(window));
}

} // namespace platform
