#include "calendar/CalUnit.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QWindow>
#include <cstdio>

#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/Bitmap.h"
#include "platform/Coordinates.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/MoveLoop.h"
#include "platform/OnScreen.h"
#include "platform/X11Window.h"

namespace calendar {

TCalForm* CalForm = nullptr;

namespace {

constexpr const char* kBackground = "back.bmp";
// Where a calendar with no place on any screen goes: the default CalX and CalY.
constexpr int kHomeX = 100;
constexpr int kHomeY = 100;
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);

QFont designFont(const char* face, int points, bool bold) {
    QFont f = platform::fontFor(face, points);
    // The layout is drawn in pixels on a 96 dpi grid; the fonts keep to it on any screen.
    f.setPixelSize(pointsToPixels(points));
    f.setFixedPitch(true);
    f.setBold(bold);
    return f;
}

void setTextColor(QLabel* label, const QColor& color) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
}

QColor columnColor(int column, const QColor& text) {
    return column == 0 ? kRed : column == 6 ? kBlue : text;
}

} // namespace

TCalForm::TCalForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint),
      clock_(&platform::systemClock()) {
    CalForm = this;
    setWindowTitle(QStringLiteral("Calender"));
    setAccessibleName(QStringLiteral("Calender"));
    platform::keepOffTaskbar(this);
    platform::keepFloating(this);
    platform::keepOnScreen(this, QPoint(kHomeX, kHomeY));
    const CalSizeRow& size = sizeRow(2);
    setFixedSize(size.clientWidth, size.clientHeight);

    // Back to front: the picture, the headings, the days, the title. Created once; every
    // layout and month only re-styles and re-fills them.
    Image1 = new QLabel(this);
    Image1->setScaledContents(true);
    Image1->setGeometry(rect());
    for (QLabel*& h : Headings) {
        h = new QLabel(this);
    }
    for (QLabel*& d : Days) {
        d = new QLabel(this);
    }
    Label1 = new QLabel(this);
    createMenu();

    platform::guard([this] { loadBackground(); });
    platform::guard([this] { FormCreate(); });
}

TCalForm::~TCalForm() {
    if (CalForm == this) {
        CalForm = nullptr;
    }
}

void TCalForm::createMenu() {
    PopupMenu1 = new QMenu(this);
    N1 = PopupMenu1->addAction(QStringLiteral("とじる"));
    N6 = PopupMenu1->addMenu(QStringLiteral("サイズ..."));
    N9pt1 = N6->addAction(QString::fromUtf8(sizeRow(1).menuCaption));
    N16pt1 = N6->addAction(QString::fromUtf8(sizeRow(2).menuCaption));
    N24pt1 = N6->addAction(QString::fromUtf8(sizeRow(3).menuCaption));
    N2 = PopupMenu1->addSeparator();
    N3 = PopupMenu1->addAction(QStringLiteral("<< 先月"));
    N5 = PopupMenu1->addAction(QStringLiteral("- 今月 -"));
    N4 = PopupMenu1->addAction(QStringLiteral("来月 >>"));
    auto bind = [this](QAction* a, void (TCalForm::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { platform::guard([this, handler] { (this->*handler)(); }); });
    };
    bind(N1, &TCalForm::N1Click);
    bind(N9pt1, &TCalForm::N9pt1Click);
    bind(N16pt1, &TCalForm::N16pt1Click);
    bind(N24pt1, &TCalForm::N24pt1Click);
    bind(N3, &TCalForm::N3Click);
    bind(N5, &TCalForm::N5Click);
    bind(N4, &TCalForm::N4Click);
}

void TCalForm::loadBackground() {
    // A missing picture is no error: the calendar is drawn on a plain ground.
    if (!platform::fileExists(kBackground)) {
        std::fprintf(stderr, "なごみ: %s is missing; the calendar has a plain background\n",
                     kBackground);
        return;
    }
    const platform::Image pic = platform::loadPictureFile(kBackground);
    QImage img(pic.width, pic.height, QImage::Format_RGB32);
    for (int y = 0; y < pic.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < pic.width; ++x) {
            line[x] = 0xFF000000u | pic.pixel(x, y);
        }
    }
    Image1->setPixmap(QPixmap::fromImage(img));
    plain_ = false;
}

void TCalForm::FormCreate() {
    const core::Settings& s = core::settings();
    move(platform::toScreenCoord(s.CalX), platform::toScreenCoord(s.CalY));
    if (s.ShowCalender) {
        show(); // lays it out
    }
    Label1->adjustSize();
}

void TCalForm::setClock(const platform::Clock* clock) {
    clock_ = clock ? clock : &platform::systemClock();
}

platform::LocalTime TCalForm::today() const {
    return clock_->now();
}

void TCalForm::setVisible(bool visible) {
    // Every showing starts afresh: the size of CalSize and the current month.
    if (visible && !isVisible()) {
        platform::guard([this] { Layout(); });
    }
    QWidget::setVisible(visible);
}

void TCalForm::Layout() {
    const CalSizeRow& size = sizeRow(core::settings().CalSize);
    setFixedSize(size.clientWidth, size.clientHeight);
    Image1->setGeometry(rect());
    Label1->setFont(designFont("ＭＳ ゴシック", size.titlePoints, false));
    const QColor text = palette().color(QPalette::WindowText);
    for (int i = 0; i < 7; ++i) {
        QLabel* h = Headings[static_cast<size_t>(i)];
        h->setText(QString::fromUtf8(size.headings[static_cast<size_t>(i)]));
        h->setFont(designFont("ＭＳ ゴシック", kHeadingPoints, false));
        h->adjustSize();
        h->move(headingLeft(size, i), kHeadingTop);
        setTextColor(h, columnColor(i, text));
        h->show();
    }
    const QFont dayFont = designFont("ＭＳ Ｐゴシック", size.dayPoints, true);
    for (int i = 0; i < 42; ++i) {
        QLabel* d = Days[static_cast<size_t>(i)];
        d->setText(QString());
        d->setAutoFillBackground(false);
        d->setFont(dayFont);
        d->move(cellLeft(size, i), cellTop(size, i));
        setTextColor(d, columnColor(i % 7, text));
        d->show();
    }
    const platform::LocalTime now = today();
    const YearMonth current = limitMonth(now.year, now.month);
    DrawMonth(current.year, current.month);
    Label1->move(size.clientWidth - Label1->width(), titleTop(size));
    Label1->show();
    update();
}

void TCalForm::DrawMonth(int year, int month) {
    grid_ = drawMonth(year, month, today());
    shown_ = grid_.shown;
    const QColor text = palette().color(QPalette::WindowText);
    for (size_t i = 0; i < Days.size(); ++i) {
        QLabel* l = Days[i];
        const DayCell& c = grid_.cells[i];
        l->setText(QString::fromStdString(c.text));
        setTextColor(l, c.color == CellColor::Red    ? kRed
                        : c.color == CellColor::Blue ? kBlue
                                                     : text);
        QPalette pal = l->palette();
        pal.setColor(QPalette::Window, kYellow);
        l->setPalette(pal);
        l->setAutoFillBackground(c.today);
        l->setToolTip(QString::fromStdString(c.holiday));
        l->setAccessibleDescription(QString::fromStdString(c.holiday));
        l->adjustSize();
    }
    Label1->setText(QString::fromStdString(grid_.title));
    Label1->adjustSize();
    Label1->move(width() - Label1->width(), Label1->y());
    setWindowTitle(QString::fromStdString(grid_.caption));
    // The calendar knows the years of its holiday law and no others.
    N3->setEnabled(hasPreviousMonth(shown_));
    N4->setEnabled(hasNextMonth(shown_));
}

void TCalForm::N1Click() {
    hide();
}

void TCalForm::N3Click() {
    const YearMonth m = previousMonth(shown_);
    DrawMonth(m.year, m.month);
}

void TCalForm::N5Click() {
    const platform::LocalTime now = today();
    DrawMonth(now.year, now.month);
}

void TCalForm::N4Click() {
    const YearMonth m = nextMonth(shown_);
    DrawMonth(m.year, m.month);
}

void TCalForm::setSize(int calSize) {
    int& current = core::settings().CalSize;
    if (current == calSize) {
        return;
    }
    current = calSize;
    Layout();
}

void TCalForm::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenu1->popup(event->globalPos());
    event->accept();
}

void TCalForm::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Without a window manager there is no caption bar to drag: the body moves the window.
    const QPoint global = event->globalPosition().toPoint();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QPoint origin = global - event->position().toPoint() - QPoint(frame.left(), frame.top());
    platform::guard([&] { platform::runMoveLoop(this, global, origin); });
}

void showCurrentMonth() {
    if (CalForm) {
        CalForm->N5Click();
        CalForm->show();
    }
}

} // namespace calendar
