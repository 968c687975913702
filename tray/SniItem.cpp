#include "tray/SniItem.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <unistd.h>

#include "tray/SniMenu.h"

namespace tray {
namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");

} // namespace

// One picture of the icon: ARGB32 in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniPixmaps = QList<SniPixmap>;

struct SniToolTip {
    QString iconName;
    SniPixmaps pixmaps;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& arg, const SniPixmap& p) {
    arg.beginStructure();
    arg << p.width << p.height << p.bytes;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, SniPixmap& p) {
    arg.beginStructure();
    arg >> p.width >> p.height >> p.bytes;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const SniToolTip& t) {
    arg.beginStructure();
    arg << t.iconName << t.pixmaps << t.title << t.text;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, SniToolTip& t) {
    arg.beginStructure();
    arg >> t.iconName >> t.pixmaps >> t.title >> t.text;
    arg.endStructure();
    return arg;
}

} // namespace tray

Q_DECLARE_METATYPE(tray::SniPixmap)
Q_DECLARE_METATYPE(tray::SniToolTip)

namespace tray {
namespace {

SniPixmaps pixmapsOf(const QImage& icon) {
    SniPixmaps out;
    if (icon.isNull()) {
        return out;
    }
    // Hosts pick the size nearest to their panel's; give them the common ones.
    for (int side : {16, 22, 24, 32, 48}) {
        const QImage img = icon.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_ARGB32);
        SniPixmap p;
        p.width = img.width();
        p.height = img.height();
        p.bytes.reserve(p.width * p.height * 4);
        for (int y = 0; y < img.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = line[x];
                p.bytes.append(static_cast<char>(qAlpha(c)));
                p.bytes.append(static_cast<char>(qRed(c)));
                p.bytes.append(static_cast<char>(qGreen(c)));
                p.bytes.append(static_cast<char>(qBlue(c)));
            }
        }
        out.append(p);
    }
    return out;
}

// The org.kde.StatusNotifierItem interface of the item.
class SniAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconThemePath READ Empty)
    Q_PROPERTY(QString IconName READ Empty)
    Q_PROPERTY(QList<tray::SniPixmap> IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ Empty)
    Q_PROPERTY(QList<tray::SniPixmap> OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ Empty)
    Q_PROPERTY(QList<tray::SniPixmap> AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ Empty)
    Q_PROPERTY(tray::SniToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)
public:
    explicit SniAdaptor(SniItem* item) : QDBusAbstractAdaptor(item), item_(item) {
        connect(item, &SniItem::NewIcon, this, &SniAdaptor::NewIcon);
        connect(item, &SniItem::NewToolTip, this, &SniAdaptor::NewToolTip);
        connect(item, &SniItem::NewStatus, this, &SniAdaptor::NewStatus);
    }

    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const { return QStringLiteral("nagomi"); }
    QString Title() const { return QStringLiteral("なごみ"); }
    QString Status() const { return item_->status(); }
    int WindowId() const { return 0; }
    QString Empty() const { return {}; }
    SniPixmaps IconPixmap() const { return pixmapsOf(item_->icon()); }
    SniPixmaps NoPixmaps() const { return {}; }
    SniToolTip ToolTip() const {
        return SniToolTip{QString(), {}, QStringLiteral("なごみ"), item_->toolTip()};
    }
    // A left click activates; the menu is for the right button.
    bool ItemIsMenu() const { return false; }
    // Hosts that find no menu here ask for ours with ContextMenu instead.
    QDBusObjectPath Menu() const {
        return QDBusObjectPath(item_->hasMenu() ? QLatin1String(SniMenu::kPath)
                                                : QLatin1String("/NO_DBUSMENU"));
    }

public slots:
    void Activate(int, int) { item_->callActivate(); }
    void SecondaryActivate(int, int) { item_->callSecondaryActivate(); }
    void ContextMenu(int, int) { item_->callContextMenu(); }
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    SniItem* item_;
};

} // namespace

SniItem::SniItem(QObject* parent)
    : QObject(parent), bus_(QDBusConnection::sessionBus()),
      service_(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(::getpid())) {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmaps>();
    qDBusRegisterMetaType<SniToolTip>();
    if (!bus_.isConnected()) {
        return;
    }
    new SniAdaptor(this);
    exported_ = bus_.registerObject(kItemPath, this, QDBusConnection::ExportAdaptors);
    if (!exported_) {
        return;
    }
    watch_ = new QDBusServiceWatcher(kWatcher, bus_,
                                     QDBusServiceWatcher::WatchForRegistration |
                                         QDBusServiceWatcher::WatchForUnregistration,
                                     this);
    connect(watch_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        // A host started or restarted: the new watcher knows nothing of us.
        if (shown_) {
            registerWithWatcher();
        }
        emit watcherChanged(true);
    });
    connect(watch_, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { emit watcherChanged(false); });
}

SniItem::~SniItem() {
    if (exported_) {
        bus_.unregisterService(service_);
        bus_.unregisterObject(kItemPath);
    }
}

bool SniItem::watcherPresent() const {
    if (!exported_ || !bus_.interface()) {
        return false;
    }
    return bus_.interface()->isServiceRegistered(kWatcher);
}

QString SniItem::status() const {
    return shown_ ? QStringLiteral("Active") : QStringLiteral("Passive");
}

void SniItem::setShown(bool shown) {
    if (shown == shown_ || !exported_) {
        return;
    }
    shown_ = shown;
    emit NewStatus(status());
    if (shown) {
        bus_.registerService(service_);
        registerWithWatcher();
    } else {
        // Watchers drop an item whose name leaves the bus; not every host honours the status.
        bus_.unregisterService(service_);
    }
}

void SniItem::setMenu(QMenu* menu) {
    if (exported_ && !menu_) {
        menu_ = new SniMenu(menu, bus_, this);
    }
}

bool SniItem::hasMenu() const {
    return menu_ && menu_->exported();
}

void SniItem::setIcon(const QImage& icon) {
    icon_ = icon;
    emit NewIcon();
}

void SniItem::setToolTip(const QString& text) {
    if (text == toolTip_) {
        return;
    }
    toolTip_ = text;
    emit NewToolTip();
}

void SniItem::registerWithWatcher(int attempt) {
    if (!shown_ || !watcherPresent()) {
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << service_;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, attempt](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                // A watcher takes its name before it serves its object: a call in between
                // finds no object. Try again for a while.
                if (done->isError() && attempt < 20) {
                    QTimer::singleShot(250, this,
                                       [this, attempt] { registerWithWatcher(attempt + 1); });
                }
            });
}

// The host waits for the answer to its call; a menu or a handler that runs its own event loop
// must not hold it, so the request is served from the event loop after the reply.
void SniItem::callActivate() {
    QTimer::singleShot(0, this, &SniItem::activateRequested);
}

void SniItem::callSecondaryActivate() {
    QTimer::singleShot(0, this, &SniItem::secondaryActivateRequested);
}

void SniItem::callContextMenu() {
    QTimer::singleShot(0, this, &SniItem::contextMenuRequested);
}

} // namespace tray

#include "SniItem.moc"
