#pragma once
// TMainForm: the character window. Its creation reads the settings, shapes the window after the
// character picture and opens the dialogue log; closing it saves everything and ends the program.
#include <QWidget>

class QLabel;
class QTimer;

namespace shape {
class TCoolForm;
}

namespace core {

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Writes all settings to StartDir/pikmain.ini. Throws AppError when it cannot.
    void StoreIniFile();

    shape::TCoolForm* CoolForm1 = nullptr;
    QLabel* ClockLabel = nullptr;
    QTimer* ClockTimer = nullptr;

    // Window state (the character's click and the clock label's drag use them).
    bool IsTimeSignalled = false;
    bool IsClockDragging = false;
    int ClockDragX = 0;
    int ClockDragY = 0;
    bool IsAlerm1Rung = false;
    bool IsAlerm2Rung = false;
    bool IsAlerm3Rung = false;
    int PressLeft = 0;
    int PressTop = 0;
    double PressTime = 0.0;
    bool IsCharPressed = false;

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

private:
    void FormCreate();
    void FormClose();
    void prepareShape();
    void applySettings();
    void CoolForm1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void CoolForm1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);

    int clockBackground_ = 0;
    bool closed_ = false;
};

// The one character window, or null before it exists.
extern TMainForm* MainForm;

// The file steps of the shutdown without any window: used when the process must end at once
// (the X server went away). Writes the settings as last known and closes the log.
void emergencyShutdown();

} // namespace core
