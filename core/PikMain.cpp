#include "core/PikMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <cstdio>

#include "balloon/LogStream.h"
#include "balloon/LogUnit.h"
#include "core/AppState.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/SessionEnd.h"
#include "shape/CoolForm.h"
#include "shape/extMaskgenerator.h"

namespace core {

TMainForm* MainForm = nullptr;

namespace {

constexpr int kDesignWidth = 220;
constexpr int kDesignHeight = 195;
constexpr int kLabelWidth = 55;
constexpr int kLabelHeight = 21;

void writeIniFile(const Settings& s) {
    const std::string path = platform::joinPath(StartDir(), kSettingsFileName);
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
    move(793, 167);
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

    ClockTimer = new QTimer(this);
    ClockTimer->setInterval(100);
    connect(ClockTimer, &QTimer::timeout, this,
            [this] { platform::guard([this] { ClockTimerTimer(); }); });

    platform::guard([this] { FormCreate(); });
    platform::installExitSafetyNet(emergencyShutdown);
}

TMainForm::~TMainForm() {
    if (MainForm == this) {
        MainForm = nullptr;
        platform::disarmExitSafetyNet();
    }
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
    IsClockDragging = false;
    ClockDragX = 0;
    ClockDragY = 0;
    s.PikImage = "pikprsn.bmp";
    IsHidden() = false;
    s.isLog = false;
    // (The tray icon is registered here once it exists.)
    balloon::LogStream().close();
    s.ShowCalender = true;
    s.CalX = 100;
    s.CalY = 100;
    s.CalSize = 2;
    s.ShowTime = true;
    s.OClock = true;
    IsTimeSignalled = false;
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
    IsAlerm1Rung = IsAlerm2Rung = IsAlerm3Rung = false;
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
    if (platform::fileExists(iniPath)) {
        if (auto bytes = platform::readFile(iniPath, std::size_t{16} << 20)) {
            // A bad value costs only that key: the rest of the file is still the user's.
            for (const std::string& message : readSettings(*bytes, s)) {
                platform::showErrorBox(message);
            }
        }
    }
    applySettings();

    setCursor(Qt::WaitCursor);
    struct CursorBack {
        QWidget* w;
        ~CursorBack() { w->unsetCursor(); }
    } cursorBack{this};
    prepareShape(); // a picture that cannot be used ends the start-up here
    ClockLabel->setVisible(s.ShowTime);
    ClockTimer->start();
    update();
    // (The menu items' enabled states are set here once the menus exist.)
    if (s.isLog) {
        const std::string logPath = platform::joinPath(StartDir(), kLogFileName);
        balloon::LogStream().open(logPath);
        balloon::LogStream().writeLine(balloon::startLogLine(platform::systemClock().now()));
    }
    // (The application's activation is bound to keeping the window on top here.)
}

void TMainForm::applySettings() {
    const Settings& s = settings();
    move(s.Left, s.Top);
    ClockLabel->move(s.ClockX, s.ClockY);
    QFont f = platform::fontFor(s.ClockFontName, s.ClockFontSize);
    f.setFixedPitch(true);
    f.setUnderline(true);
    ClockLabel->setFont(f);
    setClockBackground(s.ClockFontBGColor);
}

void TMainForm::prepareShape() {
    const Settings& s = settings();
    CoolForm1->loadPicture(s.PikImage); // AppError ends the start-up here
    const std::string maskFile = s.PikImage + ".msk";
    long long t = CoolForm1->pixelColor(0, 0);
    const auto transparent = static_cast<std::uint32_t>(t == -1 ? 0xFFFFFF : t);
    if (!platform::fileExists(maskFile)) {
        // Serve the user once per row: generating a large mask takes a while.
        if (!shape::GenerateMask(CoolForm1->picture(), transparent, maskFile,
                                 [] { QApplication::processEvents(); })) {
            std::fprintf(stderr, "なごみ: mask file %s could not be written\n", maskFile.c_str());
        }
    }
    CoolForm1->LoadMaskFromFile(maskFile);
    resize(CoolForm1->picture().width + 1, CoolForm1->picture().height + 1);
}

void TMainForm::StoreIniFile() {
    Settings& s = settings();
    s.Top = y();
    s.Left = x();
    s.ClockX = ClockLabel->x();
    s.ClockY = ClockLabel->y();
    s.ClockFontName = ClockLabel->font().family().toStdString();
    s.ClockFontSize = ClockLabel->font().pointSize();
    s.ClockFontBGColor = clockBackground_;
    writeIniFile(s);
}

void TMainForm::FormClose() {
    StoreIniFile(); // AppError abandons the shutdown: the program keeps running
    closeLog();
    // (The tray icon is removed here once it exists.)
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
    QCoreApplication::quit();
}

void TMainForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Kept current so that an abrupt end still saves where the character stands.
    settings().Top = y();
    settings().Left = x();
}

void TMainForm::ClockTimerTimer() {}

void TMainForm::CoolForm1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
    emit characterPressed(button, pos);
}

void TMainForm::CoolForm1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
    emit characterReleased(button, pos);
}

} // namespace core
