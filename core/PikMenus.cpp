// The character window's menus, their commands and her tray icon.
#include <QColorDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMenu>
#include <QPainter>

#include "balloon/Fukidasi.h"
#include "balloon/LogUnit.h"
#include "balloon/SerifuQueue.h"
#include "calendar/CalUnit.h"
#include "core/AppState.h"
#include "core/PikMain.h"
#include "core/Settings.h"
#include "help/HelpForm.h"
#include "mail/MailCheck.h"
#include "platform/AppError.h"
#include "platform/Bitmap.h"
#include "platform/Fonts.h"
#include "platform/Sound.h"
#include "settings_dialog/Config.h"
#include "shape/CoolForm.h"
#include "tray/QtTrayShell.h"
#include "tray/TaskTray.h"

namespace core {

void TMainForm::createMenus() {
    PopupMenu1 = new QMenu(this);
    N6 = PopupMenu1->addAction(QStringLiteral("うるさい！"));
    N11 = PopupMenu1->addAction(QStringLiteral("しずかに"));
    N11->setCheckable(true);
    N9 = PopupMenu1->addMenu(QStringLiteral("確認する。"));
    N8 = N9->addAction(QStringLiteral("メール確認..."));
    N10 = N9->addAction(QStringLiteral("ログ確認..."));
    N8->setEnabled(false);
    N10->setEnabled(false);
    N7 = PopupMenu1->addSeparator();
    N3 = PopupMenu1->addAction(QStringLiteral("設定する。"));
    N5 = PopupMenu1->addAction(QStringLiteral("へるぷ..."));
    N4 = PopupMenu1->addSeparator();
    N2 = PopupMenu1->addAction(QStringLiteral("ないない"));
    N1 = PopupMenu1->addAction(QStringLiteral("おしまい。"));
    auto bind = [this](QAction* a, void (TMainForm::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { platform::guard([this, handler] { (this->*handler)(); }); });
    };
    bind(N6, &TMainForm::N6Click);
    bind(N11, &TMainForm::N11Click);
    bind(N8, &TMainForm::N8Click);
    bind(N10, &TMainForm::N10Click);
    bind(N3, &TMainForm::N3Click);
    bind(N5, &TMainForm::N5Click);
    bind(N2, &TMainForm::N2Click);
    bind(N1, &TMainForm::N1Click);

    ClockPopup = new QMenu(this);
    FontChangeMenu = ClockPopup->addAction(QStringLiteral("フォント変更..."));
    BGColorChangeMenu = ClockPopup->addAction(QStringLiteral("背景色変更..."));
    bind(FontChangeMenu, &TMainForm::FontChangeMenuClick);
    bind(BGColorChangeMenu, &TMainForm::BGColorChangeMenuClick);
}

namespace {

// What the clock tick does, done to the windows of the program.
class MainTickHost : public ClockTickHost {
public:
    explicit MainTickHost(TMainForm& form) : form_(form) {}
    void setClockCaption(const std::string& text) override {
        form_.ClockLabel->setText(QString::fromStdString(text));
    }
    void setTrayTip(const std::string& text) override { form_.TaskTray->setTipString(text); }
    void speak(const std::string& line) override { balloon::SerifuQueue().add(line); }
    void playSync(const std::string& file) override { platform::sound().playSync(file); }
    void playLoop(const std::string& file) override { platform::sound().playLoop(file); }
    void alarmSounded() override { IsAlermSounded() = true; }
    void calendarToToday() override { calendar::showCurrentMonth(); }

private:
    TMainForm& form_;
};

QIcon drawnIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0xF4, 0xB6, 0xC2));
    p.setPen(QPen(QColor(0x50, 0x30, 0x40), 2));
    p.drawEllipse(3, 3, 26, 26);
    p.setBrush(QColor(0x50, 0x30, 0x40));
    p.drawEllipse(10, 12, 4, 5);
    p.drawEllipse(18, 12, 4, 5);
    return QIcon(pm);
}

} // namespace

void TMainForm::createTray() {
    trayShell_ = new tray::QtTrayShell(this);
    trayShell_->setSniMenu(PopupMenu1);
    TaskTray = new tray::TTaskTray(*trayShell_);
    TaskTray->setIconID(2);
    TaskTray->setIcon(trayShell_->addIcon(drawnIcon()));
    TaskTray->PopupMenuR = PopupMenu1;
    TaskTray->OnDblClick = [this](tray::Button) {
        platform::guard([this] { TaskTrayDblClick(); });
    };
    tickHost_ = std::make_unique<MainTickHost>(*this);
}

void TMainForm::setTrayIconFromPicture() {
    // The character's head: a square from the top of the picture's opaque part.
    const platform::Image& pic = CoolForm1->picture();
    const long long key = CoolForm1->pixelColor(0, 0);
    int x0 = pic.width, x1 = -1, y0 = pic.height;
    for (int y = 0; y < pic.height; ++y) {
        for (int x = 1; x < pic.width; ++x) {
            if (static_cast<long long>(pic.pixel(x, y)) != key) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
            }
        }
    }
    if (x1 < x0) {
        return;
    }
    const int side = std::min(x1 - x0 + 1, pic.height - y0);
    const int left = x0 + (x1 - x0 + 1 - side) / 2;
    QImage img(side, side, QImage::Format_ARGB32);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const std::uint32_t px = pic.pixel(left + x, y0 + y);
            img.setPixel(x, y, static_cast<long long>(px) == key ? 0u : (0xFF000000u | px));
        }
    }
    TaskTray->setIcon(trayShell_->addIcon(QIcon(
        QPixmap::fromImage(img.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)))));
}

void TMainForm::N6Click() {
    platform::sound().stop();
}

void TMainForm::N1Click() {
    platform::sound().stop();
    close();
}

void TMainForm::N2Click() {
    IsHidden() = true;
    hide();
    if (calendar::CalForm) {
        calendar::CalForm->hide();
    }
    if (balloon::SerifuForm) {
        balloon::SerifuForm->hide();
    }
    if (balloon::LogForm) {
        balloon::LogForm->hide();
    }
}

void TMainForm::N3Click() {
    if (settings_dialog::CFForm) {
        settings_dialog::CFForm->ShowModal();
    }
}
void TMainForm::N5Click() {
    // Not tied to her hide command: the panel shows even while she is hidden. The first time
    // it stands beside her, not over her.
    if (help::HelpForm) {
        help::HelpForm->showBeside(frameGeometry());
    }
}
void TMainForm::N8Click() {
    if (mail::POPForm) {
        mail::POPForm->show();
    }
}

void TMainForm::N10Click() {
    if (balloon::LogForm) {
        balloon::LogForm->UpdateLog();
    }
}

void TMainForm::FontChangeMenuClick() {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, clockFont_ ? *clockFont_ : ClockLabel->font(),
                                              this, QString(), QFontDialog::ScalableFonts);
    if (!ok) {
        return;
    }
    applyClockFont(chosen);
}

void TMainForm::applyClockFont(const QFont& chosen) {
    // The clock is the chosen face and size, always underlined and only underlined. A fresh
    // font: the dialog's style name ("Bold Italic") would otherwise win over setBold(false).
    QFont f(chosen.family());
    f.setPointSize(chosen.pointSize() > 0 ? chosen.pointSize() : 16);
    f.setFixedPitch(true);
    f.setUnderline(true);
    setClockFont(f);
}

void TMainForm::BGColorChangeMenuClick() {
    const QColor c = QColorDialog::getColor(platform::colorFromValue(clockBackground_), this);
    if (c.isValid()) {
        setClockBackground(platform::valueFromColor(c));
    }
}

void TMainForm::TaskTrayDblClick() {
    IsHidden() = false;
    show();
    if (calendar::CalForm) {
        calendar::CalForm->setVisible(settings().ShowCalender);
    }
}

} // namespace core
