#include "platform/OnScreen.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "platform/ScreenFit.h"

namespace platform {
namespace {

ScreenRect toRect(const QRect& r) {
    return ScreenRect{r.x(), r.y(), r.width(), r.height()};
}

class ScreenKeeper : public QObject {
public:
    ScreenKeeper(QWidget* window, QPoint home, std::function<void(QPoint)> moved)
        : QObject(window), home_(home), moved_(std::move(moved)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) {
            recover(static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    void recover(QWidget* w) {
        const QScreen* primary = QGuiApplication::primaryScreen();
        if (!primary) {
            return;
        }
        std::vector<ScreenRect> screens;
        for (const QScreen* s : QGuiApplication::screens()) {
            screens.push_back(toRect(s->geometry()));
        }
        const auto to = offScreenRecovery(toRect(w->frameGeometry()), screens,
                                          toRect(primary->geometry()), {home_.x(), home_.y()});
        if (!to) {
            return;
        }
        w->move(to->x, to->y);
        if (moved_) {
            moved_(w->pos());
        }
    }

    QPoint home_;
    std::function<void(QPoint)> moved_;
};

} // namespace

void keepOnScreen(QWidget* window, QPoint home, std::function<void(QPoint)> moved) {
    window->installEventFilter(new ScreenKeeper(window, home, std::move(moved)));
}

} // namespace platform
