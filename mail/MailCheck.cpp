#include "mail/MailCheck.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "balloon/SerifuQueue.h"
#include "core/AppState.h"
#include "core/Settings.h"
#include "mail/CheckRunner.h"
#include "platform/AppError.h"
#include "platform/Coordinates.h"
#include "platform/Fonts.h"
#include "platform/OnScreen.h"
#include "platform/Sound.h"
#include "platform/X11Window.h"

namespace mail {

TPOPForm* POPForm = nullptr;

TPOPForm::TPOPForm()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool) {
    POPForm = this;
    setWindowTitle(QStringLiteral("メール受信状況"));
    platform::keepOffTaskbar(this);
    platform::keepFloating(this);
    // Back in reach when shown (the default MailX, MailY), and saved there.
    platform::keepOnScreen(this, QPoint(0, 0), [](QPoint p) {
        core::settings().MailX = p.x();
        core::settings().MailY = p.y();
    });
    // A client of 230 × 52 under a minimum size of 238 × 75: the minimum wins.
    resize(230, 52);
    setMinimumSize(238, 75);
    QFont f = platform::fontFor("ＭＳ Ｐゴシック", 9);
    f.setPixelSize(12);
    setFont(f);
    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Panel1);
    LastModifiedLabel =
        new QLabel(QStringLiteral("最終チェック日時： ----/--/-- --:--:--"), Panel1);
    LastModifiedLabel->move(8, 8);
    LastModifiedLabel->adjustSize();
    LastReceivedLabel = new QLabel(QStringLiteral("受信メール総数： ありません．"), Panel1);
    LastReceivedLabel->move(8, 32);
    LastReceivedLabel->adjustSize();
    for (QObject* o :
         {static_cast<QObject*>(this), static_cast<QObject*>(Panel1),
          static_cast<QObject*>(LastModifiedLabel), static_cast<QObject*>(LastReceivedLabel)}) {
        o->installEventFilter(this);
    }
    runner_ = new CheckRunner(this);
    MailTimer = new QTimer(this);
    connect(MailTimer, &QTimer::timeout, this,
            [this] { platform::guard([this] { MailTimerTimer(); }); });
    platform::guard([this] { FormCreate(); });
}

TPOPForm::~TPOPForm() {
    if (POPForm == this) {
        POPForm = nullptr;
    }
}

void TPOPForm::showLastModified(const std::string& caption) {
    LastModifiedLabel->setText(QString::fromStdString(caption));
    LastModifiedLabel->adjustSize(); // a label fits its text
}

void TPOPForm::applyTimerSettings() {
    const core::Settings& s = core::settings();
    const long long ms = static_cast<long long>(s.MailInterval) * 60000;
    MailTimer->setInterval(ms > 0 && ms <= INT32_MAX ? static_cast<int>(ms) : 0);
    // An interval of 0 leaves the timer silent.
    if (s.MailCheck && ms > 0 && ms <= INT32_MAX) {
        MailTimer->start();
    } else {
        MailTimer->stop();
    }
}

void TPOPForm::FormCreate() {
    applyTimerSettings();
    move(platform::toScreenCoord(core::settings().MailX),
         platform::toScreenCoord(core::settings().MailY));
    if (core::settings().MailCheck) {
        // Once her windows are up: a slow server never delays her appearance.
        QTimer::singleShot(0, this, [this] { platform::guard([this] { MailTimerTimer(); }); });
    }
}

void TPOPForm::MailTimerTimer() {
    // A tick while a check runs is skipped: checks never overlap.
    runner_->start(core::settings(), core::IsAlermSounded(),
                   [this](CheckOutcome& o) { platform::guard([this, &o] { applyOutcome(o); }); });
}

bool TPOPForm::checking() const {
    return runner_->running();
}

void TPOPForm::applyOutcome(CheckOutcome& o) {
    core::Settings& s = core::settings();
    s.LastMailNum = o.settings.LastMailNum;
    s.LastMessageID = o.settings.LastMessageID;
    if (const auto raw = o.settings.raw.find("LastMessageID"); raw != o.settings.raw.end()) {
        s.raw.insert_or_assign(raw->first, raw->second);
    }
    if (o.modifiedShown) {
        showLastModified(o.modified);
    }
    if (o.receivedShown) {
        showReceived(o.receivedCount, o.received);
    }
    for (const std::string& file : o.played) {
        platform::sound().playAsync(file);
    }
    if (!o.line.empty()) {
        balloon::SerifuQueue().add(o.line);
    }
    if (!o.error.empty()) {
        throw platform::AppError(o.error);
    }
}

void TPOPForm::showReceived(int count, const std::string& caption) {
    QLabel* l = LastReceivedLabel;
    l->setText(QString::fromStdString(caption));
    QPalette pal = palette();
    if (count > 0) {
        pal.setColor(QPalette::WindowText, QColor(255, 0, 0));
        pal.setColor(QPalette::Window, QColor(255, 255, 255));
    }
    l->setAutoFillBackground(count > 0);
    l->setPalette(pal);
    l->adjustSize();
}

bool TPOPForm::eventFilter(QObject* watched, QEvent* event) {
    const bool label = watched == LastModifiedLabel || watched == LastReceivedLabel;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        press_ = static_cast<QMouseEvent*>(event)->position().toPoint();
        moved_ = false;
        return true;
    case QEvent::MouseButtonRelease:
        // A left click on a label hides the window; other buttons do nothing.
        if (label && !moved_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            FormClick();
        }
        return true;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            FormClick();
        }
        return true;
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->buttons() & Qt::LeftButton) {
            const QPoint p = me->position().toPoint();
            if (p != press_) {
                moved_ = true;
            }
            move(x() + (p.x() - press_.x()), y() + (p.y() - press_.y()));
            core::settings().MailX = x();
            core::settings().MailY = y();
        }
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace mail
