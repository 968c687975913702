#include <gtest/gtest.h>

#include "platform/AppError.h"
#include "tray/TaskTray.h"

using tray::Button;
using tray::ShellOp;
using tray::TTaskTray;

namespace {

class FakeShell : public tray::TrayShell {
public:
    std::vector<std::pair<ShellOp, tray::ShellRecord>> calls;
    std::vector<std::string> log;
    bool refuse = false;
    tray::Point cursor{640, 790};
    std::function<void()> duringMenu;

    bool notifyIcon(ShellOp op, const tray::ShellRecord& r) override {
        calls.emplace_back(op, r);
        return !refuse;
    }
    tray::Point cursorPos() override { return cursor; }
    void setForegroundOwner() override { log.push_back("foreground"); }
    void showMenu(tray::MenuRef m, tray::Point at) override {
        log.push_back("menu " + std::string(static_cast<const char*>(m)) + " " +
                      std::to_string(at.x) + "," + std::to_string(at.y));
        if (duringMenu) {
            duringMenu();
        }
    }
    std::uint32_t notifyWindow() override { return 0x1234; }
};

std::uint32_t u32(const tray::ShellRecord& r, size_t at) {
    return r[at] | r[at + 1] << 8 | r[at + 2] << 16 | static_cast<std::uint32_t>(r[at + 3]) << 24;
}

std::string message(const std::function<void()>& f) {
    try {
        f();
    } catch (const platform::AppError& e) {
        return e.what();
    }
    return "";
}

class Tray : public ::testing::Test {
protected:
    void SetUp() override { TTaskTray::resetRegistry(); }
    void TearDown() override { TTaskTray::resetRegistry(); }
    FakeShell shell;
};

} // namespace

TEST_F(Tray, IdentifiersFollowTheRegistry) {
    TTaskTray first(shell);
    EXPECT_EQ(first.IconID(), 1);
    first.setIconID(2); // as the character window's form says
    TTaskTray second(shell);
    EXPECT_EQ(second.IconID(), 3);
    EXPECT_EQ(message([&] { second.setIconID(2); }), "同じアイコン識別子が有ります");
    EXPECT_EQ(message([&] { second.setIconID(0); }), "0以下は指定できません");
    EXPECT_EQ(message([&] { second.setIconID(-4); }), "0以下は指定できません");
    EXPECT_EQ(message([&] { second.setIconID(3); }), "") << "its own value is no duplicate";
    EXPECT_EQ(second.IconID(), 3);
    EXPECT_TRUE(shell.calls.empty()) << "nothing reaches the shell until registered";
}

TEST_F(Tray, RecordBytesFlagsAndTip) {
    TTaskTray t(shell);
    EXPECT_EQ(message([&] { t.setRegistered(true); }), "アイコンが指定されていません");
    EXPECT_FALSE(t.Registered());
    t.setIcon(77);
    t.setRegistered(true);
    ASSERT_EQ(shell.calls.size(), 1u);
    auto [op, r] = shell.calls[0];
    EXPECT_EQ(op, ShellOp::Add);
    EXPECT_EQ(u32(r, 0), 88u);
    EXPECT_EQ(u32(r, 4), 0x1234u);
    EXPECT_EQ(u32(r, 8), 1u);
    EXPECT_EQ(u32(r, 12), 3u) << "no tip: message and icon only";
    EXPECT_EQ(u32(r, 16), 1126u);
    EXPECT_EQ(u32(r, 20), 77u);
    EXPECT_EQ(r[24], 0);

    t.setTipString("2026/12/08 12:00:00");
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].first, ShellOp::Modify);
    EXPECT_EQ(u32(shell.calls[1].second, 12), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&shell.calls[1].second[24])),
              "2026/12/08 12:00:00");
    t.setTipString("2026/12/08 12:00:00");
    EXPECT_EQ(shell.calls.size(), 2u) << "the same tip issues no shell call";

    t.setTipString(std::string(40, 'a') + "あいうえおかきくけこさしす"); // 40 + 26 bytes
    const auto& cut = shell.calls.back().second;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&cut[24])).size(), 63u);
    EXPECT_EQ(cut[87], 0) << "always zero-terminated";

    t.setRegistered(false);
    EXPECT_EQ(shell.calls.back().first, ShellOp::Delete);
    const size_t n = shell.calls.size();
    t.setTipString("later");
    EXPECT_EQ(shell.calls.size(), n) << "no shell call after unregistering";
}

TEST_F(Tray, ChangingTheIdentifierWhileShownReAddsAndRefusalIsReported) {
    TTaskTray t(shell);
    t.setIcon(1);
    t.setRegistered(true);
    t.setIconID(5);
    ASSERT_EQ(shell.calls.size(), 3u);
    EXPECT_EQ(shell.calls[1].first, ShellOp::Delete);
    EXPECT_EQ(shell.calls[2].first, ShellOp::Add);
    EXPECT_EQ(u32(shell.calls[2].second, 8), 5u);
    EXPECT_TRUE(t.Registered());

    shell.refuse = true;
    EXPECT_EQ(message([&] { t.setTipString("x"); }), "タスクトレイに登録できません");
    EXPECT_TRUE(t.Registered());
    EXPECT_TRUE(t.added());
    shell.refuse = false;
    t.setIcon(0); // no icon: it leaves the tray
    EXPECT_EQ(shell.calls.back().first, ShellOp::Delete);
    EXPECT_FALSE(t.Registered());
}

TEST_F(Tray, DispatchTable) {
    TTaskTray t(shell);
    t.setIconID(2);
    static const char menuR[] = "R";
    t.PopupMenuR = menuR;
    std::vector<std::string> ev;
    t.OnDblClick = [&](Button b) { ev.push_back("dbl " + std::to_string(static_cast<int>(b))); };
    t.OnMouseDown = [&](Button b, tray::Point p) {
        ev.push_back("down " + std::to_string(static_cast<int>(b)) + " " + std::to_string(p.x));
    };
    t.OnMouseUp = [&](Button b, tray::Point) {
        ev.push_back("up " + std::to_string(static_cast<int>(b)));
    };
    t.OnMouseMove = [&](tray::Point) { ev.push_back("move"); };
    for (std::uint32_t m :
         {0x200u, 0x201u, 0x202u, 0x203u, 0x204u, 0x205u, 0x206u, 0x207u, 0x208u, 0x209u}) {
        TTaskTray::dispatch(2, m);
    }
    TTaskTray::dispatch(7, 0x204); // not a registered identifier
    EXPECT_EQ(ev, (std::vector<std::string>{"move", "down 0 640", "up 0", "dbl 0", "down 1 640",
                                            "up 1", "dbl 1", "down 2 640", "up 2"}));
    // Every press brings the owner forward; only the right one opens a menu, at the pointer.
    EXPECT_EQ(shell.log, (std::vector<std::string>{"foreground", "foreground", "menu R 640,790",
                                                   "foreground"}));
}

TEST_F(Tray, NotificationsWhileAMenuIsOpenAreDropped) {
    TTaskTray t(shell);
    static const char menuR[] = "R";
    t.PopupMenuR = menuR;
    int dbl = 0;
    t.OnDblClick = [&](Button) { ++dbl; };
    shell.duringMenu = [&] { TTaskTray::dispatch(1, 0x203); };
    TTaskTray::dispatch(1, 0x204);
    EXPECT_EQ(dbl, 0);
    TTaskTray::dispatch(1, 0x203); // the flag is clear again afterwards
    EXPECT_EQ(dbl, 1);
    t.OnDblClick = [&](Button) { throw platform::AppError("boom"); };
    EXPECT_THROW(TTaskTray::dispatch(1, 0x203), platform::AppError);
    t.OnDblClick = [&](Button) { ++dbl; };
    TTaskTray::dispatch(1, 0x203);
    EXPECT_EQ(dbl, 2) << "busy flag cleared after a failing handler";
    t.menuDestroyed(menuR);
    EXPECT_EQ(t.PopupMenuR, nullptr);
}
