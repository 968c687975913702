#pragma once
// TMainForm: the character window. Its creation reads the settings, shapes the window after the
// character picture and opens the dialogue log; closing it saves everything and ends the program.
#include <QWidget>
#include <memory>
#include <string>

#include "core/ClockTick.h"
#include "platform/DateTime.h"

class QAction;
class QFont;
class QLabel;
class QMenu;
class QTimer;

namespace shape {
class TCoolForm;
}
namespace tray {
class TTaskTray;
class QtTrayShell;
} // namespace tray

namespace core {

class FullscreenHiding;

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Writes all settings to StartDir/pikmain.ini. Throws AppError when it cannot.
    void StoreIniFile();
    // The shutdown has run (a close can come while later windows are still being created,
    // before the event loop runs, so the program checks this before entering it).
    bool isClosed() const { return closed_; }
    // The session ends (a signal, the desktop logging out): closes like the quit command, but a
    // file that cannot be written is reported on stderr instead of keeping the program alive.
    void endSession();

    shape::TCoolForm* CoolForm1 = nullptr;
    QLabel* ClockLabel = nullptr;
    QTimer* ClockTimer = nullptr;
    tray::TTaskTray* TaskTray = nullptr;
    tray::QtTrayShell* trayShell() const { return trayShell_; }

    // PopupMenu1, on the character and the tray icon.
    QMenu* PopupMenu1 = nullptr;
    QAction* N6 = nullptr;  // うるさい！
    QAction* N11 = nullptr; // しずかに (checked: no sound at all)
    QMenu* N9 = nullptr;    // 確認する。
    QAction* N8 = nullptr;  // メール確認...
    QAction* N10 = nullptr; // ログ確認...
    QAction* N7 = nullptr;
    QAction* N3 = nullptr; // 設定する。
    QAction* N5 = nullptr; // へるぷ...
    QAction* N4 = nullptr;
    QAction* N2 = nullptr; // ないない
    QAction* N1 = nullptr; // おしまい。
    // ClockPopup, on the clock label.
    QMenu* ClockPopup = nullptr;
    QAction* FontChangeMenu = nullptr;
    QAction* BGColorChangeMenu = nullptr;

    void N1Click();
    void N2Click();
    void N3Click();
    void N5Click();
    void N6Click();
    void N11Click();
    void N8Click();
    void N10Click();
    void FontChangeMenuClick();
    // The clock label takes the face and size of a font chosen in the font dialog.
    void applyClockFont(const QFont& chosen);
    void BGColorChangeMenuClick();
    void TaskTrayDblClick();
    void FormDeactivate();
    // Puts Quiet, Volume and HideOnFullscreen of the settings into effect: the check of
    // "しずかに", the sound service's volume and mute, the watch on full-screen windows.
    void applySoundSettings();

    // Window state (the character's click and the clock label's drag use them).
    bool IsClockDragging = false;
    int ClockDragX = 0;
    int ClockDragY = 0;
    ClockTick clock; // IsTimeSignalled and the IsAlerm1Rung...3 flags
    int PressLeft = 0;
    int PressTop = 0;
    double PressTime = 0.0;
    bool IsCharPressed = false;

    // The clock the tick and the click timing read (a fake one in tests).
    void setWallClock(const platform::Clock& c) { wallClock_ = &c; }

    // Her size in percent: the picture, her outline, the clock label and the balloon. Her
    // top-left corner stays where it is.
    void applyScale(int percent);
    int scale() const { return scale_; }
    // A length of the design at her size, and back (the clock label's place and font).
    int atScale(int v) const;
    int fromScale(int v) const;

    // The clock label's background as stored: a colour or a system colour value.
    int clockBackground() const { return clockBackground_; }
    void setClockBackground(int value);

signals:
    // The character was pressed / released (after any drag).
    void characterPressed(Qt::MouseButton button, QPoint pos);
    void characterReleased(Qt::MouseButton button, QPoint pos);

public slots:
    void ClockTimerTimer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void prepareShape();
    void shapeAtScale(bool serveEvents);
    // The clock label's font as the user chose it; the label shows it at her size.
    void setClockFont(const QFont& font);
    void applySettings();
    void CoolForm1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void CoolForm1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);

    void createMenus();
    void createTray();
    void setTrayIconFromPicture();
    bool ClockLabelMouse(QEvent* event);

    int clockBackground_ = 0;
    int scale_ = 100;
    std::string maskFile_; // her picture's outline file at the design size
    std::unique_ptr<QFont> clockFont_;
    bool closed_ = false;
    const platform::Clock* wallClock_ = &platform::systemClock();
    bool applied_ = false; // the file's values have reached the window
    bool sessionEnding_ = false;
    tray::QtTrayShell* trayShell_ = nullptr;
    std::unique_ptr<ClockTickHost> tickHost_;
    FullscreenHiding* fullscreen_ = nullptr; // while HideOnFullscreen is on
};

// The one character window, or null before it exists.
extern TMainForm* MainForm;

// The file steps of the shutdown without any window: used when the process must end at once
// (the X server went away). Writes the settings as last known and closes the log.
void emergencyShutdown();

} // namespace core
