#include "tray/SniMenu.h"

#include <QAction>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMenu>
#include <QTimer>

namespace tray {

struct BusMenuItem {
    int id = 0;
    QVariantMap properties;
};

struct BusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};

QDBusArgument& operator<<(QDBusArgument& arg, const BusMenuLayout& item) {
    arg.beginStructure();
    arg << item.id << item.properties;
    // Children travel as variants, each holding a layout of the same shape.
    arg.beginArray(qMetaTypeId<QDBusVariant>());
    for (const BusMenuLayout& child : item.children) {
        arg << QDBusVariant(QVariant::fromValue(child));
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, BusMenuLayout& item) {
    // Only ever sent; a layout that comes back is read without its children.
    arg.beginStructure();
    arg >> item.id >> item.properties;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant ignored;
        arg >> ignored;
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const BusMenuItem& item) {
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, BusMenuItem& item) {
    arg.beginStructure();
    arg >> item.id >> item.properties;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const BusMenuEvent& e) {
    arg.beginStructure();
    arg << e.id << e.eventId << e.data << e.timestamp;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, BusMenuEvent& e) {
    arg.beginStructure();
    arg >> e.id >> e.eventId >> e.data >> e.timestamp;
    arg.endStructure();
    return arg;
}

} // namespace tray

Q_DECLARE_METATYPE(tray::BusMenuLayout)
Q_DECLARE_METATYPE(tray::BusMenuItem)
Q_DECLARE_METATYPE(tray::BusMenuEvent)

namespace tray {
namespace {

using BusMenuItems = QList<BusMenuItem>;
using BusMenuEvents = QList<BusMenuEvent>;

class BusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(QString TextDirection READ TextDirection)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QStringList IconThemePath READ IconThemePath)
public:
    explicit BusMenuAdaptor(SniMenu* menu) : QDBusAbstractAdaptor(menu), menu_(menu) {
        connect(menu, &SniMenu::LayoutUpdated, this, &BusMenuAdaptor::LayoutUpdated);
    }

    uint Version() const { return 3; }
    QString TextDirection() const { return QStringLiteral("ltr"); }
    QString Status() const { return QStringLiteral("normal"); }
    QStringList IconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList&,
                   tray::BusMenuLayout& layout) {
        layout = menu_->layout(parentId, recursionDepth);
        return menu_->revision();
    }
    QList<tray::BusMenuItem> GetGroupProperties(const QList<int>& ids, const QStringList&) {
        BusMenuItems out;
        for (int id : ids) {
            if (menu_->knows(id)) {
                out.append(BusMenuItem{id, menu_->properties(id)});
            }
        }
        return out;
    }
    QDBusVariant GetProperty(int id, const QString& name) {
        return QDBusVariant(menu_->properties(id).value(name));
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        if (eventId == QLatin1String("clicked")) {
            menu_->clicked(id);
        }
    }
    QList<int> EventGroup(const QList<tray::BusMenuEvent>& events) {
        QList<int> unknown;
        for (const BusMenuEvent& e : events) {
            if (!menu_->knows(e.id)) {
                unknown.append(e.id);
            } else if (e.eventId == QLatin1String("clicked")) {
                menu_->clicked(e.id);
            }
        }
        return unknown;
    }
    // The layout is always current: nothing to refresh before showing.
    bool AboutToShow(int) { return false; }
    QList<int> AboutToShowGroup(const QList<int>&, QList<int>& idErrors) {
        idErrors.clear();
        return {};
    }

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    SniMenu* menu_;
};

QString busLabel(QString text) {
    // '&' marks an access key in Qt, '_' in the bus format; the menu has none of either.
    text.remove(QLatin1Char('&'));
    return text.replace(QLatin1Char('_'), QStringLiteral("__"));
}

} // namespace

SniMenu::SniMenu(QMenu* menu, QDBusConnection bus, QObject* parent)
    : QObject(parent), menu_(menu), bus_(bus) {
    qDBusRegisterMetaType<BusMenuLayout>();
    qDBusRegisterMetaType<BusMenuItem>();
    qDBusRegisterMetaType<BusMenuItems>();
    qDBusRegisterMetaType<BusMenuEvent>();
    qDBusRegisterMetaType<BusMenuEvents>();
    if (!menu) {
        return;
    }
    watch(menu);
    if (!bus_.isConnected()) {
        return;
    }
    new BusMenuAdaptor(this);
    exported_ = bus_.registerObject(QLatin1String(kPath), this, QDBusConnection::ExportAdaptors);
}

SniMenu::~SniMenu() {
    if (exported_) {
        bus_.unregisterObject(QLatin1String(kPath));
    }
}

void SniMenu::watch(QMenu* menu) {
    // Items are enabled and disabled while she runs (the settings dialog does so): the host
    // learns of it through a new revision.
    for (QAction* a : menu->actions()) {
        connect(a, &QAction::changed, this, &SniMenu::changed, Qt::UniqueConnection);
        if (a->menu()) {
            watch(a->menu());
        }
    }
}

void SniMenu::changed() {
    if (updatePending_) {
        return;
    }
    updatePending_ = true;
    QTimer::singleShot(0, this, [this] {
        updatePending_ = false;
        ++revision_;
        emit LayoutUpdated(revision_, 0);
    });
}

int SniMenu::idOf(QAction* action) {
    auto it = ids_.find(action);
    if (it != ids_.end()) {
        return *it;
    }
    const int id = nextId_++;
    ids_.insert(action, id);
    actions_.insert(id, action);
    return id;
}

QMenu* SniMenu::menuOf(int id) const {
    if (id == 0) {
        return menu_;
    }
    QAction* a = actions_.value(id);
    return a ? a->menu() : nullptr;
}

QVariantMap SniMenu::properties(int id) {
    QVariantMap p;
    if (id == 0) {
        p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        return p;
    }
    QAction* a = actions_.value(id);
    if (!a) {
        return p;
    }
    if (a->isSeparator()) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        p.insert(QStringLiteral("label"), busLabel(a->text()));
    }
    p.insert(QStringLiteral("enabled"), a->isEnabled());
    p.insert(QStringLiteral("visible"), a->isVisible());
    if (a->isCheckable()) {
        p.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
        p.insert(QStringLiteral("toggle-state"), a->isChecked() ? 1 : 0);
    }
    if (a->menu()) {
        p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    }
    return p;
}

BusMenuLayout SniMenu::layout(int id, int depth) {
    BusMenuLayout item{id, properties(id), {}};
    QMenu* sub = menuOf(id);
    if (!sub || depth == 0) {
        return item;
    }
    for (QAction* a : sub->actions()) {
        item.children.append(layout(idOf(a), depth < 0 ? -1 : depth - 1));
    }
    return item;
}

void SniMenu::clicked(int id) {
    QPointer<QAction> a = actions_.value(id);
    if (!a || !a->isEnabled() || a->menu() || a->isSeparator()) {
        return;
    }
    // After the host's call is answered: a command may run a dialog with its own event loop.
    QTimer::singleShot(0, this, [a] {
        if (a) {
            a->trigger();
        }
    });
}

} // namespace tray

#include "SniMenu.moc"
