#include "balloon/TrMemo.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

namespace balloon {
namespace {

// Lays out one paragraph at `width`, returning its height; draws it when `painter` is given.
qreal layoutParagraph(const QString& text, const QFont& font, int width, QPainter* painter,
                      qreal y) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    const QFontMetricsF fm(font);
    qreal height = 0;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += fm.lineSpacing();
    }
    layout.endLayout();
    if (text.isEmpty()) {
        height = fm.lineSpacing(); // an empty line still takes its row
    }
    if (painter) {
        layout.draw(painter, QPointF(0, y));
    }
    return height;
}

} // namespace

TTransparentMemo::TTransparentMemo(QWidget* parent) : QWidget(parent) {
    // No background: the parent paints beneath, so every change repaints cleanly over the
    // picture and no earlier text can linger.
    setAttribute(Qt::WA_NoSystemBackground, false);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::ArrowCursor);
}

void TTransparentMemo::setText(const QString& text) {
    lines_ = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    update();
}

void TTransparentMemo::appendLine(const QString& line) {
    lines_.append(line);
    update();
}

int TTransparentMemo::textHeight() const {
    qreal h = 0;
    for (const QString& line : lines_) {
        h += layoutParagraph(line, font(), width(), nullptr, 0);
    }
    return static_cast<int>(std::ceil(h));
}

int TTransparentMemo::scrollOffset() const {
    return std::max(0, textHeight() - height());
}

void TTransparentMemo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    qreal y = -scrollOffset();
    for (const QString& line : lines_) {
        y += layoutParagraph(line, font(), width(), &p, y);
    }
}

void TTransparentMemo::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    emit entered();
    if (focusTarget_) {
        focusTarget_->setFocus(Qt::OtherFocusReason);
    }
}

void TTransparentMemo::mousePressEvent(QMouseEvent* event) {
    // A click into the text is not a press on the balloon: it neither drags nor selects.
    event->accept();
}

} // namespace balloon
