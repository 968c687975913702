// Her menu as StatusNotifierItem hosts see it: the layout they draw and the items they report.
#include <QAction>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QMenu>
#include <gtest/gtest.h>

#include "tray/SniMenu.h"

using tray::BusMenuLayout;
using tray::SniMenu;

namespace {

// Counts a signal's emissions.
struct Count {
    int n = 0;
    template <typename Sender, typename Signal> Count(Sender* sender, Signal signal) {
        QObject::connect(sender, signal, [this] { ++n; });
    }
    int count() const { return n; }
};

// No bus in these tests: the menu's own logic only.
QDBusConnection noBus() {
    return QDBusConnection(QStringLiteral("nagomi-test-no-bus"));
}

struct Menu {
    QMenu menu;
    QAction* say = menu.addAction(QStringLiteral("うるさい！"));
    QMenu* check = menu.addMenu(QStringLiteral("確認する。"));
    QAction* mail = check->addAction(QStringLiteral("メール&確認..._x"));
    QAction* sep = menu.addSeparator();
    QAction* quit = menu.addAction(QStringLiteral("おしまい。"));
};

} // namespace

TEST(SniMenu, LayoutMirrorsTheMenu) {
    Menu m;
    m.mail->setEnabled(false);
    SniMenu bus(&m.menu, noBus());
    EXPECT_FALSE(bus.exported());

    const BusMenuLayout root = bus.layout(0, -1);
    EXPECT_EQ(root.id, 0);
    ASSERT_EQ(root.children.size(), 4);
    const BusMenuLayout& say = root.children[0];
    EXPECT_EQ(say.properties.value("label").toString(), QStringLiteral("うるさい！"));
    EXPECT_TRUE(say.properties.value("enabled").toBool());
    EXPECT_TRUE(say.children.isEmpty());

    const BusMenuLayout& check = root.children[1];
    EXPECT_EQ(check.properties.value("children-display").toString(), QStringLiteral("submenu"));
    ASSERT_EQ(check.children.size(), 1);
    // Qt's access-key marks go, the bus format's own mark is escaped, the state travels.
    EXPECT_EQ(check.children[0].properties.value("label").toString(),
              QStringLiteral("メール確認...__x"));
    EXPECT_FALSE(check.children[0].properties.value("enabled").toBool());

    EXPECT_EQ(root.children[2].properties.value("type").toString(), QStringLiteral("separator"));
    EXPECT_FALSE(root.children[2].properties.contains("label"));

    // Items keep their numbers from one request to the next; a depth limit stops the walk.
    const BusMenuLayout again = bus.layout(0, 1);
    ASSERT_EQ(again.children.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(again.children[i].id, root.children[i].id);
    }
    EXPECT_TRUE(again.children[1].children.isEmpty());
    EXPECT_EQ(bus.layout(check.id, -1).children[0].id, check.children[0].id);
}

TEST(SniMenu, OnlyEnabledCommandsRunAndOnlyAfterTheCallReturns) {
    Menu m;
    SniMenu bus(&m.menu, noBus());
    const BusMenuLayout root = bus.layout(0, -1);
    Count quit(m.quit, &QAction::triggered);
    Count mail(m.mail, &QAction::triggered);
    Count say(m.say, &QAction::triggered);

    bus.clicked(root.children[3].id);
    // The host is still waiting for its answer: the command must not run inside its call.
    EXPECT_EQ(quit.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(quit.count(), 1);

    // Disabled items, submenus, separators and numbers never handed out do nothing.
    m.say->setEnabled(false);
    bus.clicked(root.children[0].id);
    bus.clicked(root.children[1].id);
    bus.clicked(root.children[2].id);
    bus.clicked(9999);
    bus.clicked(-1);
    EXPECT_FALSE(bus.knows(9999));
    QCoreApplication::processEvents();
    EXPECT_EQ(say.count(), 0);
    EXPECT_EQ(quit.count(), 1);

    // An item deleted between the click and its turn is not run.
    bus.clicked(root.children[1].children[0].id);
    delete m.mail;
    QCoreApplication::processEvents();
    EXPECT_EQ(mail.count(), 0);
    EXPECT_TRUE(bus.properties(root.children[1].children[0].id).isEmpty());
}

TEST(SniMenu, ChangesBumpTheRevisionOncePerBurst) {
    Menu m;
    SniMenu bus(&m.menu, noBus());
    Count updated(&bus, &SniMenu::LayoutUpdated);
    const unsigned before = bus.revision();
    // The settings dialog enables several items at once; hosts fetch the layout once.
    m.mail->setEnabled(false);
    m.say->setText(QStringLiteral("しずかに"));
    m.quit->setVisible(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(updated.count(), 1);
    EXPECT_EQ(bus.revision(), before + 1);
    EXPECT_FALSE(bus.layout(0, -1).children[3].properties.value("visible").toBool());
}

TEST(SniMenu, ACheckItemShowsAndTogglesItsState) {
    Menu m;
    QAction* quiet = m.menu.addAction(QStringLiteral("しずかに"));
    quiet->setCheckable(true);
    SniMenu bus(&m.menu, noBus());
    const int id = bus.layout(0, -1).children[4].id;
    EXPECT_EQ(bus.properties(id).value("toggle-type").toString(), QStringLiteral("checkmark"));
    EXPECT_EQ(bus.properties(id).value("toggle-state").toInt(), 0);
    EXPECT_FALSE(bus.properties(bus.layout(0, -1).children[0].id).contains("toggle-type"));

    // A click from the host flips it as a click in the menu would, and hosts hear of it.
    Count updated(&bus, &SniMenu::LayoutUpdated);
    bus.clicked(id);
    QCoreApplication::processEvents(); // the click's turn
    QCoreApplication::processEvents(); // the update it causes
    EXPECT_TRUE(quiet->isChecked());
    EXPECT_EQ(bus.properties(id).value("toggle-state").toInt(), 1);
    EXPECT_EQ(updated.count(), 1);
}
