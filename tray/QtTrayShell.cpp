#include "tray/QtTrayShell.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QWidget>

#include "platform/TextCodec.h"

namespace tray {
namespace {

std::uint32_t get32(const ShellRecord& r, size_t at) {
    return static_cast<std::uint32_t>(r[at]) | static_cast<std::uint32_t>(r[at + 1]) << 8 |
           static_cast<std::uint32_t>(r[at + 2]) << 16 |
           static_cast<std::uint32_t>(r[at + 3]) << 24;
}

bool statusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

} // namespace

QtTrayShell::QtTrayShell(QWidget* owner) : QObject(owner), owner_(owner) {
    icon_ = new QSystemTrayIcon(this);
    sni_ = statusNotifierHostPresent();
    connect(icon_, &QSystemTrayIcon::activated, this, &QtTrayShell::activated);
}

QtTrayShell::~QtTrayShell() {
    icon_->hide();
}

std::uint32_t QtTrayShell::addIcon(const QIcon& icon) {
    const std::uint32_t handle = nextHandle_++;
    icons_[handle] = icon;
    return handle;
}

bool QtTrayShell::notifyIcon(ShellOp op, const ShellRecord& record) {
    if (op == ShellOp::Delete) {
        icon_->hide();
        return true;
    }
    id_ = get32(record, 8);
    const std::uint32_t flags = get32(record, 12);
    auto it = icons_.find(get32(record, 20));
    if (it != icons_.end()) {
        icon_->setIcon(it->second);
    }
    std::string tip;
    if (flags & 4) {
        const char* text = reinterpret_cast<const char*>(record.data() + 24);
        tip.assign(text, strnlen(text, 64));
    }
    icon_->setToolTip(QString::fromStdString(platform::fromCp932(tip)));
    if (sni_ && sniMenu_) {
        icon_->setContextMenu(sniMenu_);
    }
    if (op == ShellOp::Add) {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            // No notification area (yet): keep the icon wanted; it shows when a host appears.
            icon_->show();
            return true;
        }
        icon_->show();
    }
    return true;
}

Point QtTrayShell::cursorPos() {
    const QPoint p = QCursor::pos();
    return Point{p.x(), p.y()};
}

void QtTrayShell::setForegroundOwner() {
    if (owner_ && owner_->isVisible()) {
        owner_->raise();
        owner_->activateWindow();
    }
    QApplication::processEvents();
}

void QtTrayShell::showMenu(MenuRef menu, Point at) {
    auto* m = static_cast<QMenu*>(const_cast<void*>(menu));
    if (m) {
        m->exec(QPoint(at.x, at.y));
    }
}

void QtTrayShell::activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        if (sni_) {
            TTaskTray::dispatch(id_,
                                0x203); // the host has no double-click: a click brings her back
        } else {
            TTaskTray::dispatch(id_, 0x201);
            TTaskTray::dispatch(id_, 0x202);
        }
        break;
    case QSystemTrayIcon::Context:
        if (!sni_) {
            TTaskTray::dispatch(id_, 0x204);
            TTaskTray::dispatch(id_, 0x205);
        }
        break;
    case QSystemTrayIcon::MiddleClick:
        TTaskTray::dispatch(id_, 0x207);
        TTaskTray::dispatch(id_, 0x208);
        break;
    case QSystemTrayIcon::DoubleClick:
        TTaskTray::dispatch(id_, 0x203);
        break;
    default:
        break;
    }
}

} // namespace tray
