#include "platform/MoveLoop.h"

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

namespace platform {
namespace {

class MoveFilter : public QObject {
public:
    MoveFilter(QWidget* window, QPoint pressGlobal, QPoint origin, QEventLoop* loop)
        : window_(window), press_(pressGlobal), origin_(origin), loop_(loop) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (window_) {
                const QPoint to = origin_ + (me->globalPosition().toPoint() - press_);
                if (to != window_->pos()) {
                    window_->move(to);
                }
            }
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() == Qt::LeftButton) {
                loop_->quit();
            }
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::ApplicationDeactivate:
        case QEvent::Hide:
            // Never leave the user stuck in a move when the window goes away.
            if (watched == window_ || watched == qApp) {
                loop_->quit();
            }
            return false;
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> window_;
    QPoint press_;
    QPoint origin_;
    QEventLoop* loop_;
};

} // namespace

void runMoveLoop(QWidget* window, QPoint pressGlobal, QPoint windowOrigin) {
    if (!window) {
        return;
    }
    QEventLoop loop;
    MoveFilter filter(window, pressGlobal, windowOrigin, &loop);
    qApp->installEventFilter(&filter);
    window->grabMouse();
    // The release may already have been handled (a quick click served by another nested loop).
    if (QGuiApplication::mouseButtons() & Qt::LeftButton) {
        loop.exec();
    }
    QWidget* grabber = QWidget::mouseGrabber();
    if (grabber) {
        grabber->releaseMouse();
    }
    qApp->removeEventFilter(&filter);
}

} // namespace platform
