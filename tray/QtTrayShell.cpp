#include "tray/QtTrayShell.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QWidget>

#include "platform/TextCodec.h"
#include "tray/SniItem.h"

namespace tray {
namespace {

std::uint32_t get32(const ShellRecord& r, size_t at) {
    return static_cast<std::uint32_t>(r[at]) | static_cast<std::uint32_t>(r[at + 1]) << 8 |
           static_cast<std::uint32_t>(r[at + 2]) << 16 |
           static_cast<std::uint32_t>(r[at + 3]) << 24;
}

} // namespace

QtTrayShell::QtTrayShell(QWidget* owner) : QObject(owner), owner_(owner) {
    sni_ = new SniItem(this);
    connect(sni_, &SniItem::watcherChanged, this, [this] { place(); });
    // The host has no double-click: its activation (a left click) brings her back.
    connect(sni_, &SniItem::activateRequested, this, [this] { TTaskTray::dispatch(id_, 0x203); });
    connect(sni_, &SniItem::contextMenuRequested, this, [this] {
        TTaskTray::dispatch(id_, 0x204);
        TTaskTray::dispatch(id_, 0x205);
    });
    connect(sni_, &SniItem::secondaryActivateRequested, this, [this] {
        TTaskTray::dispatch(id_, 0x207);
        TTaskTray::dispatch(id_, 0x208);
    });
}

QtTrayShell::~QtTrayShell() {
    if (xembed_) {
        xembed_->hide();
    }
    sni_->setShown(false);
}

void QtTrayShell::setSniMenu(QMenu* menu) {
    sni_->setMenu(menu);
}

std::uint32_t QtTrayShell::addIcon(const QIcon& icon) {
    const std::uint32_t handle = nextHandle_++;
    icons_[handle] = icon;
    return handle;
}

bool QtTrayShell::showsStatusNotifier() const {
    return sni_->shown() && sni_->watcherPresent();
}

bool QtTrayShell::showsXEmbed() const {
    return xembed_ && xembed_->isVisible();
}

void QtTrayShell::place() {
    sni_->setShown(wanted_);
    const bool onBus = wanted_ && sni_->watcherPresent();
    if (wanted_ && !onBus && !xembed_) {
        xembed_ = new QSystemTrayIcon(this);
        // Queued: the menu opened from a click may end her, and that deletes the icon's window,
        // which must not happen while the window is still delivering the click.
        connect(xembed_, &QSystemTrayIcon::activated, this, &QtTrayShell::xembedActivated,
                Qt::QueuedConnection);
    }
    if (!xembed_) {
        return;
    }
    xembed_->setIcon(icon_);
    xembed_->setToolTip(tip_);
    // Qt's XEmbed icon follows tray restarts and a tray that appears later on its own.
    xembed_->setVisible(wanted_ && !onBus);
}

bool QtTrayShell::notifyIcon(ShellOp op, const ShellRecord& record) {
    if (op == ShellOp::Delete) {
        wanted_ = false;
        place();
        return true;
    }
    id_ = get32(record, 8);
    const std::uint32_t flags = get32(record, 12);
    auto it = icons_.find(get32(record, 20));
    const bool newIcon = it != icons_.end() && it->second.cacheKey() != icon_.cacheKey();
    if (newIcon) {
        icon_ = it->second;
        sni_->setIcon(icon_.pixmap(48, 48).toImage());
    }
    std::string tip;
    if (flags & 4) {
        const char* text = reinterpret_cast<const char*>(record.data() + 24);
        tip.assign(text, strnlen(text, 64));
    }
    tip_ = QString::fromStdString(platform::fromCp932(tip));
    sni_->setToolTip(tip_);
    if (op == ShellOp::Add) {
        // With no host at all the icon stays wanted and shows when one appears.
        wanted_ = true;
        place();
    } else if (xembed_) {
        if (newIcon) {
            xembed_->setIcon(icon_);
        }
        xembed_->setToolTip(tip_);
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

void QtTrayShell::xembedActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        TTaskTray::dispatch(id_, 0x201);
        TTaskTray::dispatch(id_, 0x202);
        break;
    case QSystemTrayIcon::Context:
        TTaskTray::dispatch(id_, 0x204);
        TTaskTray::dispatch(id_, 0x205);
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
