#pragma once
// The icon as a StatusNotifierItem on the session bus, for hosts that have no XEmbed tray
// (KDE, GNOME with the AppIndicator extension, standalone SNI trays). The item stays exported
// for the whole run and registers with the watcher whenever one appears, so the icon shows
// also when the host starts after us or restarts.
#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>

class QDBusServiceWatcher;
class QMenu;

namespace tray {

class SniMenu;

class SniItem : public QObject {
    Q_OBJECT
public:
    explicit SniItem(QObject* parent = nullptr);
    ~SniItem() override;

    // False when there is no session bus or the item could not be exported.
    bool exported() const { return exported_; }
    // Whether a watcher is on the bus now.
    bool watcherPresent() const;

    // Shown: registered with the watcher whenever one is there. Hidden: passive status, which
    // hosts take as "do not show".
    void setShown(bool shown);
    bool shown() const { return shown_; }
    void setIcon(const QImage& icon);
    // The menu hosts draw on a right press; set once.
    void setMenu(QMenu* menu);
    bool hasMenu() const;
    void setToolTip(const QString& text);

    // For the bus adaptor.
    const QImage& icon() const { return icon_; }
    const QString& toolTip() const { return toolTip_; }
    QString status() const;
    void callActivate();
    void callSecondaryActivate();
    void callContextMenu();

signals:
    // The watcher came or went: whoever shows the icon may have to show it another way.
    void watcherChanged(bool present);
    // The host's requests, delivered after the bus call has been answered.
    void activateRequested();
    void secondaryActivateRequested();
    void contextMenuRequested();

    // Change signals on the bus interface.
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    void registerWithWatcher(int attempt = 0);

    QDBusConnection bus_;
    QString service_;
    QDBusServiceWatcher* watch_ = nullptr;
    SniMenu* menu_ = nullptr;
    QImage icon_;
    QString toolTip_;
    bool shown_ = false;
    bool exported_ = false;
};

} // namespace tray
