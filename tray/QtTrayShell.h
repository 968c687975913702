#pragma once
// The notification area on this desktop: QSystemTrayIcon. Its activations come back to the
// tray component as the shell's callback messages.
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <map>

#include "tray/TaskTray.h"

class QMenu;
class QWidget;

namespace tray {

class QtTrayShell : public QObject, public TrayShell {
    Q_OBJECT
public:
    explicit QtTrayShell(QWidget* owner);
    ~QtTrayShell() override;

    // Icons are known to the component by handle.
    std::uint32_t addIcon(const QIcon& icon);

    // On StatusNotifierItem hosts the icon reports no right press and no double-click: the
    // menu is handed to the icon and a left click brings the character back.
    void setSniMenu(QMenu* menu) { sniMenu_ = menu; }
    bool isStatusNotifierHost() const { return sni_; }
    QSystemTrayIcon* icon() const { return icon_; }

    bool notifyIcon(ShellOp op, const ShellRecord& record) override;
    Point cursorPos() override;
    void setForegroundOwner() override;
    void showMenu(MenuRef menu, Point at) override;
    std::uint32_t notifyWindow() override { return 1; }

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    QPointer<QWidget> owner_;
    QSystemTrayIcon* icon_ = nullptr;
    std::map<std::uint32_t, QIcon> icons_;
    std::uint32_t nextHandle_ = 1;
    std::uint32_t id_ = 0;
    QPointer<QMenu> sniMenu_;
    bool sni_ = false;
};

} // namespace tray
