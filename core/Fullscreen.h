#pragma once
// Her windows out of the way while the desktop's active window is full screen (a film, a game,
// a presentation), and back as they were after.
#include <QObject>

namespace platform {
class FullscreenWatch;
}

namespace core {

class TMainForm;

class FullscreenHiding : public QObject {
    Q_OBJECT
public:
    explicit FullscreenHiding(TMainForm& character);

    // Her windows back if they are hidden: the watch is about to end. (Not in the destructor,
    // which also runs while the character window itself is being destroyed.)
    void release();

    // A full-screen window is active: she is (or is about to be) hidden, and quiet.
    bool fullscreen() const;

signals:
    void changed();

private:
    void apply();
    void hideWindows();
    void showWindows();

    TMainForm& character_;
    platform::FullscreenWatch* watch_ = nullptr;
    bool hidden_ = false;
    // Which of her windows were shown when they were hidden: character, calendar, log, mail.
    bool shown_[4] = {false, false, false, false};
};

} // namespace core
