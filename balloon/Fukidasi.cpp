#include "balloon/Fukidasi.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "balloon/LogStream.h"
#include "balloon/TrMemo.h"
#include "core/AppState.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/Coordinates.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/X11Window.h"
#include "shape/CoolForm.h"
#include "shape/extMaskgenerator.h"

namespace balloon {

TSerifuForm* SerifuForm = nullptr;

namespace {
constexpr const char* kPicture = "fukidasi.bmp";
constexpr const char* kMask = "fukidasi.msk";
// The plain balloon that stands in when the picture is missing has the default picture's size.
constexpr int kPlainWidth = 279;
constexpr int kPlainHeight = 230;
} // namespace

TSerifuForm::TSerifuForm(QWidget* character)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                           Qt::WindowDoesNotAcceptFocus),
      character_(character) {
    SerifuForm = this;
    setWindowTitle(QStringLiteral("Fukidasi"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    platform::keepOffTaskbar(this);
    platform::keepFloating(this);
    resize(kPlainWidth + 1, kPlainHeight + 1);

    CoolFormS = new shape::TCoolForm(this);
    SerifuMemo = new TTransparentMemo(this);
    SerifuMemo->setGeometry(17, 18, 243, 180);
    QFont f = platform::fontFor("ＭＳ Ｐゴシック", 9);
    f.setPixelSize(12);
    SerifuMemo->setFont(f);
    Button1 = new QPushButton(QStringLiteral("Button1"), this);
    Button1->setGeometry(192, 250, 75, 25);
    SerifuMemo->setFocusTarget(Button1);
    connect(SerifuMemo, &TTransparentMemo::entered, this, [this] { SerifuMemoEnter(); });

    machine_ = std::make_unique<SerifuMachine>(SerifuQueue(), static_cast<BalloonView&>(*this));
    SerifuTimer = new QTimer(this);
    SerifuTimer->setInterval(SerifuMachine::kTickMs);
    connect(SerifuTimer, &QTimer::timeout, this,
            [this] { platform::guard([this] { SerifuTimerTimer(); }); });
    SerifuTimer->start();
    SerifuQueue().setOnAdd([this] {
        if (!SerifuTimer->isActive()) {
            SerifuTimer->start();
        }
    });

    platform::guard([this] { FormCreate(); });
    if (core::settings().CharScale != 100) {
        platform::guard([this] { applyScale(core::settings().CharScale); });
    }
    // Whatever happened to the picture, the balloon must speak.
    machine_->setIntervals(core::settings().SerifuInterval, core::settings().FukidasiInterval);
    machine_->start();
}

TSerifuForm::~TSerifuForm() {
    SerifuQueue().setOnAdd({});
    if (SerifuForm == this) {
        SerifuForm = nullptr;
    }
}

void TSerifuForm::FormCreate() {
    SerifuMemo->setText(QString());
    if (!platform::fileExists(kPicture)) {
        std::fprintf(stderr, "なごみ: %s is missing; the balloon is a plain one\n", kPicture);
        plain_ = true;
        machine_->setPictureSize(kPlainWidth, kPlainHeight);
        CoolFormS->setAutoFillBackground(true);
        return;
    }
    try {
        CoolFormS->loadPicture(kPicture);
    } catch (const platform::AppError&) {
        plain_ = true;
        machine_->setPictureSize(kPlainWidth, kPlainHeight);
        throw;
    }
    const platform::Image& pic = CoolFormS->picture();
    machine_->setPictureSize(pic.width, pic.height);
    resize(pic.width + 1, pic.height + 1);
    if (core::settings().CharScale != 100) {
        return; // shaped at her size next, without making the design size's outline first
    }
    const long long t = CoolFormS->pixelColor(0, 0);
    CoolFormS->showAtScale(100, static_cast<std::uint32_t>(t == -1 ? 0xFFFFFF : t), kMask,
                           [] { QCoreApplication::processEvents(); });
    update();
}

void TSerifuForm::applyScale(int percent) {
    if (percent == scale_ || percent < 50 || percent > 400) {
        return;
    }
    scale_ = percent;
    const auto at = [this](int v) { return platform::atScale(v, scale_); };
    if (!plain_ && !CoolFormS->picture().empty()) {
        const long long t = CoolFormS->pixelColor(0, 0);
        CoolFormS->showAtScale(percent, static_cast<std::uint32_t>(t == -1 ? 0xFFFFFF : t), kMask);
        scale_ = CoolFormS->scale();
        const platform::Image& shown = CoolFormS->shownPicture();
        machine_->setPictureSize(shown.width, shown.height);
        resize(shown.width + 1, shown.height + 1);
    } else {
        machine_->setPictureSize(at(kPlainWidth), at(kPlainHeight));
        resize(at(kPlainWidth) + 1, at(kPlainHeight) + 1);
    }
    // The text pane and its font grow with the picture: the same words fill the same balloon.
    SerifuMemo->setGeometry(at(17), at(18), at(243), at(180));
    QFont f = SerifuMemo->font();
    f.setPixelSize(std::max(1, at(12)));
    SerifuMemo->setFont(f);
    Button1->setGeometry(at(192), at(250), at(75), at(25));
    update();
}

void TSerifuForm::SerifuTimerTimer() {
    machine_->tick(core::IsHidden() || core::IsHiddenForFullscreen());
    // Nothing to say and nothing shown: sleep until a line is added.
    if (machine_->state() == SerifuMachine::Idle && SerifuQueue().empty()) {
        SerifuTimer->stop();
    }
}

void TSerifuForm::SerifuMemoEnter() {
    // The pane never keeps the focus: no caret, no typing into the balloon.
}

Bounds TSerifuForm::characterBounds() const {
    if (!character_) {
        return Bounds{};
    }
    const QRect g = character_->frameGeometry();
    return Bounds{g.x(), g.y(), g.width(), g.height()};
}

void TSerifuForm::placeBalloon(int left, int top) {
    move(left, top);
}

void TSerifuForm::showBalloon() {
    if (!isVisible()) {
        show();
    }
    raise();
}

void TSerifuForm::hideBalloon() {
    hide();
}

void TSerifuForm::appendLine(const std::string& line) {
    SerifuMemo->appendLine(QString::fromStdString(line));
}

void TSerifuForm::clearText() {
    SerifuMemo->setText(QString());
}

void TSerifuForm::logLine(const std::string& line) {
    logSpeech(platform::systemClock().now(), line);
}

} // namespace balloon
