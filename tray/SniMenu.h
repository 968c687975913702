#pragma once
// The character's menu exported on the session bus (the com.canonical.dbusmenu interface), for
// StatusNotifierItem hosts: they draw the menu themselves on a right press and report which
// item was chosen, which then runs the item's own command.
#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

class QAction;
class QMenu;

namespace tray {

struct BusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<BusMenuLayout> children;
};

class SniMenu : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPath = "/MenuBar";

    SniMenu(QMenu* menu, QDBusConnection bus, QObject* parent = nullptr);
    ~SniMenu() override;
    bool exported() const { return exported_; }

    // For the bus adaptor. Item 0 is the menu itself; its items keep their numbers for the run.
    unsigned revision() const { return revision_; }
    BusMenuLayout layout(int id, int depth);
    QVariantMap properties(int id);
    bool knows(int id) const { return id == 0 || actions_.contains(id); }
    void clicked(int id);

signals:
    void LayoutUpdated(unsigned revision, int parent);

private:
    int idOf(QAction* action);
    QMenu* menuOf(int id) const;
    void watch(QMenu* menu);
    void changed();

    QPointer<QMenu> menu_;
    QDBusConnection bus_;
    QHash<int, QPointer<QAction>> actions_;
    QHash<QAction*, int> ids_;
    int nextId_ = 1;
    unsigned revision_ = 1;
    bool exported_ = false;
    bool updatePending_ = false;
};

} // namespace tray
