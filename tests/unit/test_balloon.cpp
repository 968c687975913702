#include <gtest/gtest.h>

#include <climits>

#include "balloon/SerifuMachine.h"

using balloon::Bounds;
using balloon::SerifuMachine;
using balloon::SerifuQueueType;

namespace {

// Records what the machine asks of the window, stamped with the tick it happened on.
class FakeView : public balloon::BalloonView {
public:
    Bounds character{793, 167, 201, 191};
    int tick = 0;
    bool visible = false;
    std::vector<std::pair<int, std::string>> shown; // (tick, line)
    std::vector<std::string> logged;
    std::vector<std::string> pane;
    std::vector<int> hiddenAt;
    int left = 0, top = 0;

    Bounds characterBounds() const override { return character; }
    void placeBalloon(int l, int t) override {
        left = l;
        top = t;
    }
    void showBalloon() override { visible = true; }
    void hideBalloon() override {
        visible = false;
        hiddenAt.push_back(tick);
    }
    void appendLine(const std::string& line) override {
        pane.push_back(line);
        shown.emplace_back(tick, line);
    }
    void clearText() override { pane.clear(); }
    void logLine(const std::string& line) override { logged.push_back(line); }
};

class Balloon : public ::testing::Test {
protected:
    Balloon() : machine(queue, view) {
        machine.setPictureSize(279, 230);
        machine.start();
    }
    void run(int ticks, bool hidden = false) {
        for (int i = 0; i < ticks; ++i) {
            ++view.tick;
            machine.tick(hidden);
        }
    }
    std::vector<int> shownTicks() const {
        std::vector<int> t;
        for (auto& s : view.shown) {
            t.push_back(s.first);
        }
        return t;
    }

    SerifuQueueType queue;
    FakeView view;
    SerifuMachine machine;
};

} // namespace

TEST_F(Balloon, ThreeLinesAtTwelveTickSpacingThenHidesTwentyOneTicksLater) {
    queue.add("一");
    queue.add("二");
    queue.add("三");
    run(60);
    EXPECT_EQ(shownTicks(), (std::vector<int>{2, 14, 26}));
    EXPECT_EQ(view.hiddenAt, (std::vector<int>{47}));
    EXPECT_TRUE(view.pane.empty()) << "text cleared when hiding";
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(view.logged, (std::vector<std::string>{"一", "二", "三"}));
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(machine.state(), SerifuMachine::Idle);
}

TEST_F(Balloon, LinesAccumulateInThePaneDuringABurst) {
    queue.add("a");
    queue.add("");
    run(14);
    EXPECT_EQ(view.pane, (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(view.logged.back(), "") << "an empty line is still logged";
}

TEST_F(Balloon, ALineQueuedWhileLingeringKeepsTheSpacing) {
    queue.add("first");
    run(2); // shown at tick 2, now lingering
    run(5);
    queue.add("second"); // counter is 5: shown 12 ticks after "first" all the same
    run(7);
    ASSERT_EQ(shownTicks(), (std::vector<int>{2, 14}));

    // Queued when the pause has long run out: the linger tick hands over to the pause, which
    // ends at once, and the line shows on the tick after.
    run(15);
    queue.add("third");
    run(3);
    EXPECT_EQ(shownTicks(), (std::vector<int>{2, 14, 32}));
}

TEST_F(Balloon, NoPauseSettingGivesTwoTicksPerLine) {
    for (int interval : {0, -5}) {
        view = FakeView{};
        machine.setIntervals(interval, 2000);
        machine.start();
        queue.add("a");
        queue.add("b");
        queue.add("c");
        run(10);
        EXPECT_EQ(shownTicks(), (std::vector<int>{2, 4, 6})) << interval;
    }
}

TEST_F(Balloon, HiddenCharacterConsumesAndLogsWithoutShowing) {
    queue.add("1");
    queue.add("2");
    queue.add("3");
    run(14, true);
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(view.logged.size(), 2u);
    EXPECT_EQ(queue.count(), 1u);
    run(1, false); // cleared mid-burst: visible again from the next tick
    EXPECT_TRUE(view.visible);
}

TEST_F(Balloon, PlacementBottomAlignedLeftOrRightAtTheScreenEdge) {
    queue.add("x");
    run(2);
    EXPECT_EQ(view.left, 793 - 279);
    EXPECT_EQ(view.top, 167 + 191 - 230);
    view.character = Bounds{10, -40, 201, 191};
    queue.add("y");
    run(20);
    EXPECT_EQ(view.left, 10 + 201);
    EXPECT_EQ(view.top, -40 + 191 - 230) << "the top is not checked";
}

TEST_F(Balloon, NothingHappensBeforeCreationFinished) {
    SerifuQueueType q;
    FakeView v;
    SerifuMachine early(q, v);
    q.add("early");
    for (int i = 0; i < 5; ++i) {
        early.tick(false);
    }
    EXPECT_TRUE(v.shown.empty());
    early.start();
    early.tick(false);
    early.tick(false);
    EXPECT_EQ(v.shown.size(), 1u);
}

TEST_F(Balloon, LongIntervalsDoNotOverflow) {
    machine.setIntervals(1000, INT_MAX);
    queue.add("x");
    run(2);
    // 21474837 ticks: 2147483700 ms, just past INT_MAX; in 32 bits the product would wrap.
    run(21474836);
    EXPECT_TRUE(view.hiddenAt.empty());
    run(1);
    EXPECT_EQ(view.hiddenAt.size(), 1u);
}
