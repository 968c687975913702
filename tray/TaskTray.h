#pragma once
// TTaskTray: one icon in the notification area. It keeps the shell record of the icon, tells
// the shell about every change that matters, and turns the shell's mouse notifications into
// events and popup menus. It knows nothing of the character; the owner's handlers do the rest.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tray {

constexpr std::uint32_t kCallbackMessage = 1126; // WM_USER + 102
constexpr size_t kRecordSize = 88;
using ShellRecord = std::array<std::uint8_t, kRecordSize>;

enum class ShellOp { Add = 0, Modify = 1, Delete = 2 };
enum class Button { Left, Right, Middle };

struct Point {
    int x = 0;
    int y = 0;
};

// Opaque reference to a popup menu of the window layer.
using MenuRef = const void*;

// The notification-area service and the bits of the window system the component needs.
class TrayShell {
public:
    virtual ~TrayShell() = default;
    virtual bool notifyIcon(ShellOp op, const ShellRecord& record) = 0;
    virtual Point cursorPos() = 0;
    virtual void setForegroundOwner() = 0; // bring the owner forward, serve pending messages
    virtual void showMenu(MenuRef menu, Point at) = 0; // modal until the menu closes
    virtual std::uint32_t notifyWindow() = 0;          // the callback window, created on first use
};

class TTaskTray {
public:
    explicit TTaskTray(TrayShell& shell);
    ~TTaskTray();
    TTaskTray(const TTaskTray&) = delete;
    TTaskTray& operator=(const TTaskTray&) = delete;

    MenuRef PopupMenuL = nullptr;
    MenuRef PopupMenuR = nullptr;

    const std::string& TipString() const { return tip_; }
    void setTipString(const std::string& tip);
    std::uint32_t Icon() const { return icon_; } // 0: no icon
    void setIcon(std::uint32_t handle);
    int IconID() const { return id_; }
    void setIconID(int id);
    bool Registered() const { return registered_; }
    void setRegistered(bool value);
    bool added() const { return added_; }
    const ShellRecord& record() const { return record_; }

    // A popup menu the component refers to is going away.
    void menuDestroyed(MenuRef menu);

    std::function<void(Button)> OnDblClick;
    std::function<void(Point)> OnMouseMove;
    std::function<void(Button, Point)> OnMouseDown;
    std::function<void(Button, Point)> OnMouseUp;

    // The shell's callback: `wParam` the icon's identifier, `lParam` the mouse message.
    static void dispatch(std::uint32_t wParam, std::uint32_t lParam);

    // For tests: forget every component (the registry is process-wide).
    static void resetRegistry();

private:
    void Update();
    void Delete();
    void mouseDown(Button b, Point at);

    TrayShell& shell_;
    std::string tip_;
    std::uint32_t icon_ = 0;
    int id_ = 0;
    bool registered_ = false;
    bool added_ = false;
    ShellRecord record_{};
};

} // namespace tray
