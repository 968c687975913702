#pragma once
// The notification area on this desktop. Two kinds of host exist: StatusNotifierItem hosts
// on the session bus and XEmbed trays on the X screen. The icon goes to the bus while a
// watcher is there and to an XEmbed tray otherwise, switching as hosts come and go; the
// activations of either come back to the tray component as the shell's callback messages.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <map>

#include "tray/TaskTray.h"

class QMenu;
class QWidget;

namespace tray {

class SniItem;

class QtTrayShell : public QObject, public TrayShell {
    Q_OBJECT
public:
    explicit QtTrayShell(QWidget* owner);
    ~QtTrayShell() override;

    // Icons are known to the component by handle.
    std::uint32_t addIcon(const QIcon& icon);

    // The menu a StatusNotifierItem host shows on a right press (XEmbed trays report the press
    // and the component opens the menu itself).
    void setSniMenu(QMenu* menu);

    // Where the icon is shown at present.
    bool showsStatusNotifier() const;
    bool showsXEmbed() const;
    const QString& toolTip() const { return tip_; }

    bool notifyIcon(ShellOp op, const ShellRecord& record) override;
    Point cursorPos() override;
    void setForegroundOwner() override;
    void showMenu(MenuRef menu, Point at) override;
    std::uint32_t notifyWindow() override { return 1; }

private:
    void place();
    void xembedActivated(QSystemTrayIcon::ActivationReason reason);

    QPointer<QWidget> owner_;
    SniItem* sni_ = nullptr;
    // Made only while no watcher is on the bus: Qt decides once per process whether its tray
    // icons go to the bus, and the bus is ours to serve.
    QSystemTrayIcon* xembed_ = nullptr;
    std::map<std::uint32_t, QIcon> icons_;
    std::uint32_t nextHandle_ = 1;
    std::uint32_t id_ = 0;
    QIcon icon_;
    QString tip_;
    bool wanted_ = false;
};

} // namespace tray
