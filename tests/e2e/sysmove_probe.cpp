// Measures what a frameless stay-on-top window receives while it is dragged, either by the
// window manager's move (QWindow::startSystemMove, that is _NET_WM_MOVERESIZE on X11) or by
// our own move loop. Prints one line per event with milliseconds since start:
// "T press", "T mouse-move", "T release", "T moved X Y", "T system-move ACCEPTED",
// "T loop-returned". Usage: sysmove_probe system|loop LEFT TOP
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <string>

#include "platform/MoveLoop.h"

namespace {

QElapsedTimer clockStart;

void report(const char* what, const std::string& more = {}) {
    std::printf("%lld %s%s%s\n", static_cast<long long>(clockStart.elapsed()), what,
                more.empty() ? "" : " ", more.c_str());
    std::fflush(stdout);
}

class Probe : public QWidget {
public:
    explicit Probe(bool system)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
          system_(system) {
        setWindowTitle(QStringLiteral("sysmove_probe"));
        resize(120, 120);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::darkCyan); }
    void mousePressEvent(QMouseEvent* e) override {
        report("press");
        if (e->button() != Qt::LeftButton) {
            return;
        }
        if (system_) {
            report("system-move", windowHandle()->startSystemMove() ? "1" : "0");
        } else {
            const QPoint global = e->globalPosition().toPoint();
            platform::runMoveLoop(this, global, global - e->position().toPoint());
            report("loop-returned");
        }
    }
    void mouseMoveEvent(QMouseEvent*) override { report("mouse-move"); }
    void mouseReleaseEvent(QMouseEvent*) override { report("release"); }
    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        report("moved", std::to_string(x()) + " " + std::to_string(y()));
    }

private:
    bool system_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: sysmove_probe system|loop LEFT TOP\n");
        return 2;
    }
    clockStart.start();
    Probe probe(std::string(argv[1]) == "system");
    probe.move(std::stoi(argv[2]), std::stoi(argv[3]));
    probe.show();
    return QApplication::exec();
}
