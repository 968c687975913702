#include "platform/FullscreenWatch.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace platform {
namespace {

// On the active window: its state's changes, and its end.
constexpr uint32_t kWatchMask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    return x11->connection();
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_generic_error_t* error = nullptr;
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, &error);
    std::free(error);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
}

// This client's event mask on `w`, or nothing when the window is gone. Errors are taken here,
// not left for Qt to report: the windows watched are other programs' and may vanish any time.
bool eventMask(xcb_connection_t* c, xcb_window_t w, uint32_t& mask) {
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* attrs =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), &error);
    std::free(error);
    if (!attrs) {
        return false;
    }
    mask = attrs->your_event_mask;
    std::free(attrs);
    return true;
}

void setEventMask(xcb_connection_t* c, xcb_window_t w, uint32_t mask) {
    std::free(
        xcb_request_check(c, xcb_change_window_attributes_checked(c, w, XCB_CW_EVENT_MASK, &mask)));
}

} // namespace

FullscreenWatch::FullscreenWatch(QObject* parent) : QObject(parent) {
    xcb_connection_t* c = x11Connection();
    if (!c) {
        return;
    }
    connection_ = c;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    activeAtom_ = internAtom(c, "_NET_ACTIVE_WINDOW");
    stateAtom_ = internAtom(c, "_NET_WM_STATE");
    fullscreenAtom_ = internAtom(c, "_NET_WM_STATE_FULLSCREEN");
    // Added to what Qt selects on the root window: one mask per client and window.
    uint32_t mask = 0;
    if (eventMask(c, root_, mask) && !(mask & XCB_EVENT_MASK_PROPERTY_CHANGE)) {
        setEventMask(c, root_, mask | XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
    qGuiApp->installNativeEventFilter(this);
    followActive();
}

FullscreenWatch::~FullscreenWatch() {
    if (!connection_) {
        return;
    }
    if (qGuiApp) {
        qGuiApp->removeNativeEventFilter(this);
    }
    unwatch();
    xcb_flush(static_cast<xcb_connection_t*>(connection_));
}

bool FullscreenWatch::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_PROPERTY_NOTIFY: {
        const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (p->window == root_ && p->atom == activeAtom_) {
            followActive();
        } else if (p->window == active_ && active_ != XCB_WINDOW_NONE && p->atom == stateAtom_) {
            readState();
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        // A window manager may leave a closed window named active (openbox does, until another
        // window takes the focus): gone, it is full screen no more.
        const auto* d = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (d->window == active_ && active_ != XCB_WINDOW_NONE) {
            active_ = XCB_WINDOW_NONE; // its selections went with it
            readState();
        }
        break;
    }
    default:
        break;
    }
    return false; // Qt sees every event as before
}

void FullscreenWatch::followActive() {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    xcb_window_t active = XCB_WINDOW_NONE;
    xcb_generic_error_t* error = nullptr;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root_, activeAtom_, XCB_ATOM_WINDOW, 0, 1), &error);
    std::free(error);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_WINDOW &&
        xcb_get_property_value_length(reply) == 4) {
        active = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    }
    std::free(reply);
    if (active != active_) {
        unwatch();
        watch(active);
    }
    readState();
}

void FullscreenWatch::watch(std::uint32_t window) {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    active_ = XCB_WINDOW_NONE;
    uint32_t mask = 0;
    if (window == XCB_WINDOW_NONE || !eventMask(c, window, mask)) {
        return; // none, or gone already: the window manager names the next one
    }
    active_ = window;
    activeMaskBefore_ = mask;
    // Selected before the state is read, so that no change falls between the two.
    if ((mask & kWatchMask) != kWatchMask) {
        setEventMask(c, window, mask | kWatchMask);
    }
}

void FullscreenWatch::unwatch() {
    if (active_ == XCB_WINDOW_NONE) {
        return;
    }
    auto* c = static_cast<xcb_connection_t*>(connection_);
    // Only what the watch added goes: one of her own windows keeps the mask Qt gave it.
    if ((activeMaskBefore_ & kWatchMask) != kWatchMask) {
        setEventMask(c, active_, activeMaskBefore_);
    }
    active_ = XCB_WINDOW_NONE;
}

void FullscreenWatch::readState() {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    bool full = false;
    if (active_ != XCB_WINDOW_NONE) {
        xcb_generic_error_t* error = nullptr;
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, active_, stateAtom_, XCB_ATOM_ATOM, 0, 1024), &error);
        std::free(error);
        if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            const int n = xcb_get_property_value_length(reply) / 4;
            for (int i = 0; i < n; ++i) {
                full = full || atoms[i] == fullscreenAtom_;
            }
        }
        std::free(reply);
    }
    if (full != fullscreen_) {
        fullscreen_ = full;
        emit changed(full);
    }
}

} // namespace platform
