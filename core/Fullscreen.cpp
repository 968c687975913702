#include "core/Fullscreen.h"

#include <QAction>

#include "balloon/Fukidasi.h"
#include "balloon/LogUnit.h"
#include "calendar/CalUnit.h"
#include "core/AppState.h"
#include "core/PikMain.h"
#include "core/Settings.h"
#include "mail/MailCheck.h"
#include "platform/FullscreenWatch.h"
#include "platform/Sound.h"

namespace core {

// A child of the character window: it ends with her.
FullscreenHiding::FullscreenHiding(TMainForm& character)
    : QObject(&character), character_(character) {
    watch_ = new platform::FullscreenWatch(this);
    connect(watch_, &platform::FullscreenWatch::changed, this, [this] {
        apply();
        emit changed();
    });
    // At start-up her other windows are not made yet and she is shown after this: hidden once
    // the event loop runs, when every window stands.
    if (watch_->isFullscreen()) {
        QMetaObject::invokeMethod(this, &FullscreenHiding::apply, Qt::QueuedConnection);
    }
}

void FullscreenHiding::release() {
    if (hidden_) {
        showWindows();
    }
}

bool FullscreenHiding::fullscreen() const {
    return watch_->isFullscreen();
}

void FullscreenHiding::apply() {
    if (watch_->isFullscreen() && !hidden_) {
        hideWindows();
    } else if (!watch_->isFullscreen() && hidden_) {
        showWindows();
    }
}

void FullscreenHiding::hideWindows() {
    hidden_ = true;
    IsHiddenForFullscreen() = true; // the balloon's tick keeps it hidden
    QWidget* const windows[4] = {&character_, calendar::CalForm, balloon::LogForm, mail::POPForm};
    for (int i = 0; i < 4; ++i) {
        shown_[i] = windows[i] && windows[i]->isVisible();
        if (shown_[i]) {
            windows[i]->hide();
        }
    }
    if (balloon::SerifuForm) {
        balloon::SerifuForm->hide(); // shown again by its tick while she still speaks
    }
}

void FullscreenHiding::showWindows() {
    hidden_ = false;
    IsHiddenForFullscreen() = false;
    // "ないない" meanwhile (from the tray's menu) keeps what it hides hidden.
    const bool away = IsHidden();
    QWidget* const windows[4] = {&character_, calendar::CalForm, balloon::LogForm, mail::POPForm};
    const bool underHide[4] = {true, true, true, false};
    for (int i = 0; i < 4; ++i) {
        if (windows[i] && shown_[i] && !(away && underHide[i])) {
            // The window the user is in keeps the focus: the window manager would otherwise
            // hand it to each window of hers as it is mapped.
            const bool quietly = windows[i]->testAttribute(Qt::WA_ShowWithoutActivating);
            windows[i]->setAttribute(Qt::WA_ShowWithoutActivating);
            windows[i]->show();
            windows[i]->setAttribute(Qt::WA_ShowWithoutActivating, quietly);
        }
    }
    character_.FormDeactivate(); // on top again
}

void TMainForm::applySoundSettings() {
    const Settings& s = settings();
    if (s.HideOnFullscreen && !fullscreen_) {
        fullscreen_ = new FullscreenHiding(*this);
        connect(fullscreen_, &FullscreenHiding::changed, this, &TMainForm::applySoundSettings);
    } else if (!s.HideOnFullscreen && fullscreen_) {
        fullscreen_->release();
        delete fullscreen_;
        fullscreen_ = nullptr;
    }
    N11->setChecked(s.Quiet);
    platform::sound().setVolume(s.Volume);
    platform::sound().setMuted(s.Quiet || (fullscreen_ && fullscreen_->fullscreen()));
}

void TMainForm::N11Click() {
    settings().Quiet = N11->isChecked();
    applySoundSettings();
}

} // namespace core
