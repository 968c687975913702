#include "tray/TaskTray.h"

#include <algorithm>
#include <vector>

#include "platform/AppError.h"
#include "platform/TextCodec.h"

namespace tray {
namespace {

struct Entry {
    std::string id; // the identifier as decimal text
    TTaskTray* component;
};

std::vector<Entry>& registry() {
    static std::vector<Entry> r;
    return r;
}

bool g_busy = false;

void put32(ShellRecord& r, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        r[at + static_cast<size_t>(i)] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
    }
}

} // namespace

TTaskTray::TTaskTray(TrayShell& shell) : shell_(shell) {
    auto& reg = registry();
    id_ = reg.empty() ? 1 : std::stoi(reg.back().id) + 1;
    reg.push_back({std::to_string(id_), this});
}

TTaskTray::~TTaskTray() {
    Delete();
    auto& reg = registry();
    const std::string key = std::to_string(id_);
    auto it = std::find_if(reg.begin(), reg.end(), [&](const Entry& e) { return e.id == key; });
    if (it != reg.end()) {
        reg.erase(it);
    }
}

void TTaskTray::resetRegistry() {
    registry().clear();
    g_busy = false;
}

void TTaskTray::setTipString(const std::string& tip) {
    if (tip == tip_) {
        return;
    }
    tip_ = tip;
    Update();
}

void TTaskTray::setIcon(std::uint32_t handle) {
    if (handle == icon_) {
        return;
    }
    icon_ = handle;
    if (handle == 0) {
        Delete();
        return;
    }
    Update();
}

void TTaskTray::setIconID(int id) {
    if (id <= 0) {
        throw platform::AppError("0以下は指定できません");
    }
    if (id == id_) {
        return;
    }
    auto& reg = registry();
    const std::string current = std::to_string(id_);
    const std::string wanted = std::to_string(id);
    auto mine =
        std::find_if(reg.begin(), reg.end(), [&](const Entry& e) { return e.id == current; });
    if (std::any_of(reg.begin(), reg.end(), [&](const Entry& e) { return e.id == wanted; })) {
        throw platform::AppError("同じアイコン識別子が有ります");
    }
    if (registered_) {
        Delete();
        registered_ = true;
    }
    id_ = id;
    if (mine != reg.end()) {
        mine->id = wanted;
    }
    Update();
}

void TTaskTray::setRegistered(bool value) {
    if (value == registered_) {
        return;
    }
    if (value) {
        if (icon_ == 0) {
            throw platform::AppError("アイコンが指定されていません");
        }
        registered_ = true;
        Update();
    } else {
        Delete();
    }
}

void TTaskTray::menuDestroyed(MenuRef menu) {
    if (menu == PopupMenuL) {
        PopupMenuL = nullptr;
    } else if (menu == PopupMenuR) {
        PopupMenuR = nullptr;
    }
}

void TTaskTray::Update() {
    if (!registered_) {
        return;
    }
    const std::uint32_t window = shell_.notifyWindow();
    if (!added_) {
        put32(record_, 0, kRecordSize);
        put32(record_, 4, window);
        put32(record_, 16, kCallbackMessage);
    }
    put32(record_, 8, static_cast<std::uint32_t>(id_));
    put32(record_, 12, tip_.empty() ? 3 : 7);
    put32(record_, 20, icon_);
    // szTip has room for 63 bytes and the terminating zero; longer tips are cut there.
    std::string bytes = platform::toCp932(tip_);
    if (bytes.size() > 63) {
        bytes.resize(63);
    }
    std::fill(record_.begin() + 24, record_.end(), 0);
    std::copy(bytes.begin(), bytes.end(), record_.begin() + 24);
    if (!shell_.notifyIcon(added_ ? ShellOp::Modify : ShellOp::Add, record_)) {
        throw platform::AppError("タスクトレイに登録できません");
    }
    added_ = true;
}

void TTaskTray::Delete() {
    if (added_) {
        shell_.notifyIcon(ShellOp::Delete, record_);
    }
    added_ = false;
    registered_ = false;
}

void TTaskTray::mouseDown(Button b, Point at) {
    shell_.setForegroundOwner();
    if (OnMouseDown) {
        OnMouseDown(b, at);
    }
    if (b == Button::Left && PopupMenuL) {
        shell_.showMenu(PopupMenuL, at);
    } else if (b == Button::Right && PopupMenuR) {
        shell_.showMenu(PopupMenuR, at);
    }
}

void TTaskTray::dispatch(std::uint32_t wParam, std::uint32_t lParam) {
    const std::string key = std::to_string(wParam);
    auto& reg = registry();
    auto it = std::find_if(reg.begin(), reg.end(), [&](const Entry& e) { return e.id == key; });
    if (it == reg.end() || g_busy) {
        return;
    }
    TTaskTray& t = *it->component;
    const Point at = t.shell_.cursorPos();
    g_busy = true;
    struct Clear {
        ~Clear() { g_busy = false; }
    } clear;
    switch (lParam) {
    case 0x200:
        if (t.OnMouseMove) {
            t.OnMouseMove(at);
        }
        break;
    case 0x201:
        t.mouseDown(Button::Left, at);
        break;
    case 0x202:
        if (t.OnMouseUp) {
            t.OnMouseUp(Button::Left, at);
        }
        break;
    case 0x203:
        if (t.OnDblClick) {
            t.OnDblClick(Button::Left);
        }
        break;
    case 0x204:
        t.mouseDown(Button::Right, at);
        break;
    case 0x205:
        if (t.OnMouseUp) {
            t.OnMouseUp(Button::Right, at);
        }
        break;
    case 0x206:
        if (t.OnDblClick) {
            t.OnDblClick(Button::Right);
        }
        break;
    case 0x207:
        t.mouseDown(Button::Middle, at);
        break;
    case 0x208:
        if (t.OnMouseUp) {
            t.OnMouseUp(Button::Middle, at);
        }
        break;
    default:
        break;
    }
}

} // namespace tray
