#include "core/PikMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "balloon/Fukidasi.h"
#include "balloon/LogStream.h"
#include "balloon/LogUnit.h"
#include "balloon/SerifuQueue.h"
#include "calendar/CalUnit.h"
#include "core/AppState.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/Coordinates.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/OnScreen.h"
#include "platform/SessionEnd.h"
#include "platform/Sound.h"
#include "platform/X11Window.h"
#include "shape/CoolForm.h"
#include "shape/extMaskgenerator.h"
#include "tray/QtTrayShell.h"
#include "tray/TaskTray.h"

namespace core {

TMainForm* MainForm = nullptr;

namespace {

constexpr int kDesignWidth = 220;
constexpr int kDesignHeight = 195;
constexpr int kDesignLeft = 793;
constexpr int kDesignTop = 167;
constexpr int kLabelWidth = 55;
constexpr int kLabelHeight = 21;

// Milliseconds to the next half second, a little after it so the tick lands on its side.
int msToNextHalfSecond(const platform::LocalTime& t) {
    return 500 - t.millisecond % 500 + 2;
}

// A settings file that could not be read whole: moved aside before the first save replaces it,
// so nothing the user had is lost.
bool settingsFileUnread = false;

void writeIniFile(const Settings& s) {
    const std::string path = platform::joinPath(StartDir(), kSettingsFileName);
    if (settingsFileUnread) {
        if (!platform::moveAside(path, path + ".unread")) {
            throw platform::AppError(platform::msgCannotCreate(path));
        }
        settingsFileUnread = false;
    }
    // The file holds the POP password: only its owner may read it.
    if (!platform::writeFileAtomic(path, writeSettings(s), 0600)) {
        throw platform::AppError(platform::msgCannotCreate(path));
    }
}

void closeLog() {
    if (settings().isLog && balloon::LogStream().isOpen()) {
        try {
            balloon::closeLogAtExit(platform::systemClock().now(), [] {
                if (balloon::LogForm) {
                    balloon::LogForm->closeReadHandle();
                }
            });
        } catch (const platform::AppError& e) {
            // The log stays as it was, uncut; the shutdown goes on.
            platform::showErrorBox(e.what());
        }
    }
}

} // namespace

void emergencyShutdown() {
    try {
        writeIniFile(settings());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "なごみ: %s\n", e.what());
    }
    platform::setErrorPresenter({});
    closeLog();
}

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    MainForm = this;
    setWindowTitle(QStringLiteral("Mainform"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(kDesignWidth, kDesignHeight);
    move(kDesignLeft, kDesignTop);
    platform::keepOffTaskbar(this);
    platform::keepFloating(this);
    // A saved place beyond every screen (a monitor gone, a new scale) would lose her for good.
    platform::keepOnScreen(this, QPoint(kDesignLeft, kDesignTop));
    QFont windowFont = platform::fontFor("ＭＳ Ｐゴシック", 9);
    windowFont.setPixelSize(12);
    setFont(windowFont);

    CoolForm1 = new shape::TCoolForm(this);
    connect(CoolForm1, &shape::TCoolForm::MouseDown, this, &TMainForm::CoolForm1MouseDown);
    connect(CoolForm1, &shape::TCoolForm::MouseUp, this, &TMainForm::CoolForm1MouseUp);

    ClockLabel = new QLabel(QStringLiteral("00:00"), this);
    ClockLabel->setAlignment(Qt::AlignCenter);
    ClockLabel->resize(kLabelWidth, kLabelHeight);
    ClockLabel->setAutoFillBackground(true);
    ClockLabel->hide();

    ClockLabel->installEventFilter(this);
    createMenus();
    CoolForm1->setPopupMenu(PopupMenu1);
    createTray();

    // The tick comes at each half second, when the colon blinks, and sleeps in between.
    ClockTimer = new QTimer(this);
    ClockTimer->setSingleShot(true);
    ClockTimer->setTimerType(Qt::PreciseTimer);
    ClockTimer->setInterval(100);
    connect(ClockTimer, &QTimer::timeout, this,
            [this] { platform::guard([this] { ClockTimerTimer(); }); });

    platform::guard([this] { FormCreate(); });
    platform::installExitSafetyNet(emergencyShutdown);
}

TMainForm::~TMainForm() {
    delete TaskTray; // takes the icon out of the tray while the shell still exists
    TaskTray = nullptr;
    if (MainForm == this) {
        MainForm = nullptr;
        platform::disarmExitSafetyNet();
    }
}

int TMainForm::atScale(int v) const {
    return platform::atScale(v, scale_);
}

int TMainForm::fromScale(int v) const {
    return platform::fromScale(v, scale_);
}

void TMainForm::setClockFont(const QFont& font) {
    if (!clockFont_) {
        clockFont_ = std::make_unique<QFont>(font);
    } else {
        *clockFont_ = font;
    }
    QFont shown = font;
    if (scale_ != 100 && font.pointSizeF() > 0) {
        shown.setPointSizeF(font.pointSizeF() * scale_ / 100.0);
    }
    ClockLabel->setFont(shown);
    ClockLabel->adjustSize();
}

void TMainForm::setClockBackground(int value) {
    clockBackground_ = value;
    QPalette pal = ClockLabel->palette();
    pal.setColor(QPalette::Window, platform::colorFromValue(value));
    ClockLabel->setPalette(pal);
}

void TMainForm::FormCreate() {
    Settings& s = settings();
    StartDir() = platform::currentDirectory();
    // Temporary files of saves that a kill interrupted.
    platform::removeLeftoverTempFiles(StartDir());
    IsClockDragging = false;
    ClockDragX = 0;
    ClockDragY = 0;
    s.PikImage = "pikprsn.bmp";
    IsHidden() = false;
    s.isLog = false;
    TaskTray->setRegistered(true);
    balloon::LogStream().close();
    s.ShowCalender = true;
    s.CalX = 100;
    s.CalY = 100;
    s.CalSize = 2;
    s.ShowTime = true;
    s.OClock = true;
    clock.IsTimeSignalled = false;
    ClockLabel->move(width() / 2 - ClockLabel->width() / 2,
                     (height() / 3) * 2 - ClockLabel->height() / 2);
    s.VoiceFile.clear();
    s.SerifuInterval = 1000;
    s.FukidasiInterval = 2000;
    s.MailX = 0;
    s.MailY = 0;
    s.isAdjust = false;
    s.NTPhost = "127.0.0.1";
    s.NTPInterval = 10;
    s.NTPTimeout = 5000;
    s.NTPTimezone = 9;
    s.NTPMinimalDifference = 500;
    for (auto& a : s.Alerm) {
        a = AlarmSetting{};
    }
    clock.IsAlermRung[0] = clock.IsAlermRung[1] = clock.IsAlermRung[2] = false;
    IsAlermSounded() = false;

    // Window keys take the window's present values unless the file names them.
    s.Top = y();
    s.Left = x();
    s.ClockX = ClockLabel->x();
    s.ClockY = ClockLabel->y();
    s.ClockFontName = "ＭＳ 明朝";
    s.ClockFontSize = 16;
    s.ClockFontBGColor = kClHighlightText;

    const std::string iniPath = platform::joinPath(StartDir(), kSettingsFileName);
    settingsFileUnread = false;
    if (platform::fileExists(iniPath)) {
        constexpr std::size_t kMaxSettingsBytes = std::size_t{16} << 20;
        const auto bytes = platform::readFile(iniPath, kMaxSettingsBytes);
        if (bytes) {
            // A bad value costs only that key: the rest of the file is still the user's.
            for (const std::string& message : readSettings(*bytes, s)) {
                platform::showErrorBox(message);
            }
        }
        if (!bytes || platform::fileSize(iniPath) > kMaxSettingsBytes) {
            settingsFileUnread = true;
            platform::showErrorBox(platform::msgCannotOpen(iniPath));
        }
    }
    // An error box runs the event loop: a close served meanwhile ends the start-up here.
    if (closed_) {
        return;
    }
    applySettings();
    applySoundSettings();

    setCursor(Qt::WaitCursor);
    struct CursorBack {
        QWidget* w;
        ~CursorBack() { w->unsetCursor(); }
    } cursorBack{this};
    prepareShape(); // a picture that cannot be used ends the start-up here
    if (closed_) {
        return; // closed while the mask was made: no log, no clock
    }
    ClockLabel->setVisible(s.ShowTime);
    ClockTimer->start();
    update();
    N8->setEnabled(s.MailCheck);
    N10->setEnabled(s.isLog);
    if (s.isLog) {
        const std::string logPath = platform::joinPath(StartDir(), kLogFileName);
        balloon::LogStream().open(logPath);
        balloon::LogStream().writeLine(balloon::startLogLine(platform::systemClock().now()));
    }
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState st) {
        if (st == Qt::ApplicationActive) {
            FormDeactivate();
        }
    });
}

void TMainForm::applySettings() {
    const Settings& s = settings();
    applied_ = true;
    move(platform::toScreenCoord(s.Left), platform::toScreenCoord(s.Top));
    scale_ = s.CharScale;
    ClockLabel->move(platform::toScreenCoord(atScale(s.ClockX)),
                     platform::toScreenCoord(atScale(s.ClockY)));
    QFont f = platform::fontFor(s.ClockFontName,
                                platform::usableFontSize(s.ClockFontSize) ? s.ClockFontSize : 16);
    f.setFixedPitch(true);
    f.setUnderline(true);
    setClockFont(f);
    setClockBackground(s.ClockFontBGColor);
}

void TMainForm::prepareShape() {
    const Settings& s = settings();
    CoolForm1->loadPicture(s.PikImage); // AppError ends the start-up here
    maskFile_ = s.PikImage + ".msk";
    shapeAtScale(true);
    setTrayIconFromPicture();
}

void TMainForm::shapeAtScale(bool serveEvents) {
    long long t = CoolForm1->pixelColor(0, 0);
    const auto transparent = static_cast<std::uint32_t>(t == -1 ? 0xFFFFFF : t);
    // At start the user is served once per row: generating a large mask takes a while. A
    // change of size from the dialog makes it at once, with no event served in between.
    std::function<void()> eachRow;
    if (serveEvents) {
        eachRow = [] { QApplication::processEvents(); };
    }
    CoolForm1->showAtScale(scale_, transparent, maskFile_, eachRow);
    scale_ = CoolForm1->scale(); // lowered when the picture would be too large
    const platform::Image& shown = CoolForm1->shownPicture();
    resize(shown.width + 1, shown.height + 1);
}

void TMainForm::applyScale(int percent) {
    if (percent == scale_ || percent < 50 || percent > 400) {
        return;
    }
    // The label keeps its place on her and its font's size, in the design's lengths.
    const int clockX = fromScale(ClockLabel->x());
    const int clockY = fromScale(ClockLabel->y());
    const bool labelAtFile =
        ClockLabel->pos() == QPoint(platform::toScreenCoord(atScale(settings().ClockX)),
                                    platform::toScreenCoord(atScale(settings().ClockY)));
    scale_ = percent;
    if (!maskFile_.empty()) {
        shapeAtScale(false);
    }
    settings().CharScale = percent;
    if (labelAtFile) {
        ClockLabel->move(platform::toScreenCoord(atScale(settings().ClockX)),
                         platform::toScreenCoord(atScale(settings().ClockY)));
    } else {
        ClockLabel->move(atScale(clockX), atScale(clockY));
    }
    if (clockFont_) {
        setClockFont(*clockFont_);
    }
    if (balloon::SerifuForm) {
        balloon::SerifuForm->applyScale(scale_);
    }
}

void TMainForm::StoreIniFile() {
    Settings& s = settings();
    if (!applied_) {
        writeIniFile(s); // closed before the file's values reached the window: save them as read
        return;
    }
    s.Top = platform::coordToStore(s.Top, y());
    s.Left = platform::coordToStore(s.Left, x());
    if (calendar::CalForm) {
        s.CalX = platform::coordToStore(s.CalX, calendar::CalForm->x());
        s.CalY = platform::coordToStore(s.CalY, calendar::CalForm->y());
    }
    // The file holds the label's place at the design size; where it stands at another size
    // is only rounded back when the user moved it.
    if (ClockLabel->x() != platform::toScreenCoord(atScale(s.ClockX))) {
        s.ClockX = fromScale(ClockLabel->x());
    }
    if (ClockLabel->y() != platform::toScreenCoord(atScale(s.ClockY))) {
        s.ClockY = fromScale(ClockLabel->y());
    }
    const QFont chosen = clockFont_ ? *clockFont_ : ClockLabel->font();
    s.ClockFontName = chosen.family().toStdString();
    // A size the label could not take stays in the file as the user wrote it.
    const int shownSize = chosen.pointSize();
    if (platform::usableFontSize(s.ClockFontSize) || shownSize != 16) {
        s.ClockFontSize = shownSize;
    }
    s.ClockFontBGColor = clockBackground_;
    writeIniFile(s);
}

void TMainForm::FormClose() {
    if (sessionEnding_) {
        // The session ends whatever happens: what cannot be written is reported on stderr.
        platform::setErrorPresenter({});
        try {
            StoreIniFile();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "なごみ: %s\n", e.what());
        }
    } else {
        StoreIniFile(); // AppError abandons the shutdown: the program keeps running
    }
    closeLog();
    TaskTray->setRegistered(false);
}

void TMainForm::endSession() {
    sessionEnding_ = true;
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    if (!platform::guard([this] { FormClose(); })) {
        event->ignore();
        return;
    }
    closed_ = true;
    platform::disarmExitSafetyNet();
    event->accept();
    // exit(), not quit(): during creation an error box's loop may be running, and quit() only
    // ends the main loop once it runs.
    QCoreApplication::exit(0);
}

void TMainForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Kept current so that an abrupt end still saves where the character stands.
    settings().Top = y();
    settings().Left = x();
}

void TMainForm::ClockTimerTimer() {
    clock.tick(wallClock_->now(), settings(), *tickHost_);
    ClockLabel->adjustSize(); // a label fits its text
    // A fresh reading: the tick may have played the time signal's sound to its end.
    ClockTimer->start(msToNextHalfSecond(wallClock_->now()));
}

void TMainForm::CoolForm1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
    IsCharPressed = button == Qt::LeftButton;
    PressLeft = x();
    PressTop = y();
    // The full date-time: a press held across midnight is no short click.
    PressTime = platform::encodeDateTime(wallClock_->now());
    emit characterPressed(button, pos);
}

void TMainForm::CoolForm1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
    const platform::LocalTime now = wallClock_->now();
    // A click: the window has not moved and the button came up within the second.
    if (IsCharPressed && x() == PressLeft && y() == PressTop &&
        platform::encodeDateTime(now) < PressTime + 1.0 / 86400.0) {
        balloon::SerifuQueue().add("今日は，" + std::to_string(now.month) + "月" +
                                   std::to_string(now.day) + "日，");
        balloon::SerifuQueue().add("ただいま" + std::to_string(now.hour) + "時" +
                                   std::to_string(now.minute) + "分です．");
    }
    IsCharPressed = false;
    emit characterReleased(button, pos);
}

void TMainForm::FormDeactivate() {
    // Back to the top of the always-on-top band, without moving or taking the focus.
    if (isVisible()) {
        raise();
    }
}

void TMainForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        FormDeactivate();
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ClockLabel) {
        bool handled = false;
        platform::guard([&] { handled = ClockLabelMouse(event); });
        if (handled) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TMainForm::ClockLabelMouse(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            IsClockDragging = true;
            ClockDragX = me->position().toPoint().x();
            ClockDragY = me->position().toPoint().y();
        } else if (me->button() == Qt::RightButton) {
            ClockPopup->popup(me->globalPosition().toPoint());
        }
        return true;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if ((me->buttons() & Qt::LeftButton) && IsClockDragging) {
            const QPoint p = me->position().toPoint();
            ClockLabel->move(ClockLabel->x() + (p.x() - ClockDragX),
                             ClockLabel->y() + (p.y() - ClockDragY));
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && IsClockDragging) {
            struct Done {
                bool& flag;
                ~Done() { flag = false; }
            } done{IsClockDragging};
            StoreIniFile(); // once, at the release
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace core
