// A shaped window on TCoolForm that reports what it sees, for the end-to-end drag tests:
// "down B X Y WX WY", "move WX WY" and "up B X Y WX WY" lines on stdout, where X Y is the
// reported position inside the picture and WX WY the window's place at that moment.
// Usage: coolform_probe PICTURE MASK LEFT TOP
#include <QApplication>
#include <QMoveEvent>
#include <cstdio>
#include <string>

#include "shape/CoolForm.h"
#include "shape/extMaskgenerator.h"

namespace {

class ProbeForm : public QWidget {
public:
    ProbeForm() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
        setWindowTitle(QStringLiteral("coolform_probe"));
    }

protected:
    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        if (isVisible()) {
            std::printf("move %d %d\n", x(), y());
            std::fflush(stdout);
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: coolform_probe PICTURE MASK LEFT TOP\n");
        return 2;
    }
    ProbeForm form;
    auto* cf = new shape::TCoolForm(&form);
    cf->loadPicture(argv[1]);
    const long long t = cf->pixelColor(0, 0);
    shape::GenerateMask(cf->picture(), static_cast<std::uint32_t>(t < 0 ? 0xFFFFFF : t), argv[2]);
    cf->LoadMaskFromFile(argv[2]);
    form.resize(cf->picture().width + 1, cf->picture().height + 1);
    form.move(std::stoi(argv[3]), std::stoi(argv[4]));
    auto report = [&form](const char* what, Qt::MouseButton b, QPoint p) {
        std::printf("%s %d %d %d %d %d\n", what, static_cast<int>(b), p.x(), p.y(), form.x(),
                    form.y());
        std::fflush(stdout);
    };
    QObject::connect(
        cf, &shape::TCoolForm::MouseDown,
        [&](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint p) { report("down", b, p); });
    QObject::connect(
        cf, &shape::TCoolForm::MouseUp,
        [&](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint p) { report("up", b, p); });
    form.show();
    return QApplication::exec();
}
