#pragma once
// Whether the desktop's active window is full screen, as the window manager tells it: the root
// window's _NET_ACTIVE_WINDOW and that window's _NET_WM_STATE, followed through their property
// change events. Off X11 it never reports full screen.
#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>

namespace platform {

class FullscreenWatch : public QObject, private QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit FullscreenWatch(QObject* parent = nullptr);
    ~FullscreenWatch() override;

    bool isFullscreen() const { return fullscreen_; }

signals:
    void changed(bool fullscreen);

private:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;
    // Takes the active window anew: its state events instead of the previous one's.
    void followActive();
    void readState();
    void watch(std::uint32_t window);
    void unwatch();

    void* connection_ = nullptr; // xcb_connection_t, null off X11
    std::uint32_t root_ = 0;
    std::uint32_t activeAtom_ = 0;
    std::uint32_t stateAtom_ = 0;
    std::uint32_t fullscreenAtom_ = 0;
    std::uint32_t active_ = 0;
    // The event mask this client had on the active window before the watch added to it.
    std::uint32_t activeMaskBefore_ = 0;
    bool fullscreen_ = false;
};

} // namespace platform
