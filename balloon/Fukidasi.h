#pragma once
// TSerifuForm: the speech balloon. It takes lines off SerifuQueue one at a time, shows each
// beside the character window, logs it, and hides a while after the last one.
#include <QPointer>
#include <QWidget>
#include <memory>

#include "balloon/SerifuMachine.h"

class QPushButton;
class QTimer;

namespace shape {
class TCoolForm;
}

namespace balloon {

class TTransparentMemo;

class TSerifuForm : public QWidget, private BalloonView {
    Q_OBJECT
public:
    // `character` is the window the balloon stands beside.
    explicit TSerifuForm(QWidget* character);
    ~TSerifuForm() override;

    shape::TCoolForm* CoolFormS = nullptr;
    TTransparentMemo* SerifuMemo = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* SerifuTimer = nullptr;

    const SerifuMachine& machine() const { return *machine_; }
    // True when the balloon picture could not be used and a plain balloon stands in.
    bool isPlain() const { return plain_; }

    // The balloon, its text and its outline at `percent` of the design size.
    void applyScale(int percent);

public slots:
    void SerifuTimerTimer();

private:
    void FormCreate();
    void SerifuMemoEnter();

    Bounds characterBounds() const override;
    void placeBalloon(int left, int top) override;
    void showBalloon() override;
    void hideBalloon() override;
    void appendLine(const std::string& line) override;
    void clearText() override;
    void logLine(const std::string& line) override;

    QPointer<QWidget> character_;
    std::unique_ptr<SerifuMachine> machine_;
    bool plain_ = false;
    int scale_ = 100;
};

// The one balloon, or null before it exists.
extern TSerifuForm* SerifuForm;

} // namespace balloon
