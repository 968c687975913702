#include "settings_dialog/Controls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <algorithm>

namespace settings_dialog::controls {
namespace {

constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 21;
constexpr int kCheckHeight = 17;

// The width a button needs for its caption (the style's minimum button width would make the
// small "参照" buttons cover their fields).
int captionWidth(const QPushButton* b) {
    return b->fontMetrics().horizontalAdvance(b->text()) + 8;
}

class StarMaskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

} // namespace

void place(QWidget* w, int x, int y, int width, int height) {
    w->setGeometry(x, y, std::max(width, w->sizeHint().width()), height);
}

QLabel* label(QWidget* page, const char* name, const char* text, int x, int y) {
    auto* l = named(new QLabel(QString::fromUtf8(text), page), name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QLineEdit* edit(QWidget* page, const char* name, int x, int y, int width, QLabel* buddy) {
    auto* e = named(new QLineEdit(page), name);
    e->setGeometry(x, y, width, kEditHeight);
    if (buddy) {
        buddy->setBuddy(e);
    }
    return e;
}

QPushButton* button(QWidget* page, const char* name, const char* text, int x, int y, int width) {
    auto* b = named(new QPushButton(QString::fromUtf8(text), page), name);
    // A wider caption grows to the left: the buttons line up on their right edges.
    const int w = std::max(width, captionWidth(b));
    b->setGeometry(x + width - w, y, w, kButtonHeight);
    return b;
}

QCheckBox* check(QWidget* page, const char* name, const char* text, int x, int y, int width) {
    auto* c = named(new QCheckBox(QString::fromUtf8(text), page), name);
    place(c, x, y, width, kCheckHeight);
    return c;
}

QFrame* panel(QWidget* page, const char* name, QFrame::Shadow shadow, int x, int y, int w, int h) {
    auto* p = named(new QFrame(page), name);
    p->setFrameStyle(QFrame::Panel | shadow);
    p->setGeometry(x, y, w, h);
    p->lower(); // behind the controls it groups
    return p;
}

QStyle* starMaskStyle(QObject* owner) {
    auto* style = new StarMaskStyle;
    style->setParent(owner);
    return style;
}

} // namespace settings_dialog::controls
