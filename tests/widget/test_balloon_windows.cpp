#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

#include "../unit/TempDir.h"
#include "balloon/Fukidasi.h"
#include "balloon/LogStream.h"
#include "balloon/LogUnit.h"
#include "balloon/SerifuQueue.h"
#include "balloon/TrMemo.h"
#include "core/AppState.h"
#include "core/Settings.h"
#include "mail/MailCheck.h"
#include "platform/Bitmap.h"
#include "timesync/NTPUnit.h"
#include <QLabel>
#include <QTimer>

namespace {

class RecordingTimeService : public platform::TimeService {
public:
    std::vector<std::int64_t> set;
    void setUtc(std::int64_t utcUs, std::function<void(const std::string&)>) override {
        set.push_back(utcUs);
    }
};

class BalloonWindows : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        core::resetSettings();
        core::resetAppState();
        core::StartDir() = dir_.path();
        balloon::SerifuQueue().clear();
    }
    void TearDown() override {
        balloon::LogStream().close();
        balloon::SerifuQueue().clear();
        std::filesystem::current_path(old_);
    }
    void writeLog(int lines) {
        std::string s;
        for (int i = 1; i <= lines; ++i) {
            s += "line " + std::to_string(i) + "\r\n";
        }
        dir_.write("piklog.txt", s);
    }

    TempDir dir_;
    std::filesystem::path old_;
};

} // namespace

TEST_F(BalloonWindows, LogWindowShowsTheLastFiftyLines) {
    core::settings().isLog = true;
    for (int count : {49, 50, 120}) {
        writeLog(count);
        balloon::TLogForm form;
        ASSERT_TRUE(form.hasReadHandle());
        form.UpdateLog();
        EXPECT_TRUE(form.isVisible());
        const QStringList lines = form.LogMemo->toPlainText().split('\n');
        const int first = count >= 50 ? count - 49 : 1;
        ASSERT_EQ(lines.size(), count - first + 1) << count;
        EXPECT_EQ(lines.front(), QString("line %1").arg(first));
        EXPECT_EQ(lines.back(), QString("line %1").arg(count));
        EXPECT_EQ(form.LogMemo->textCursor().position(),
                  form.LogMemo->document()->characterCount() - 1)
            << "cursor at the very end";
    }
}

TEST_F(BalloonWindows, LogWindowWithoutReadHandleDoesNothing) {
    writeLog(10);
    core::settings().isLog = false; // logging off at start: no handle
    balloon::TLogForm form;
    EXPECT_FALSE(form.hasReadHandle());
    form.UpdateLog();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.LogMemo->toPlainText().isEmpty());
    core::settings().isLog = true; // switched on later: still no handle this run
    form.UpdateLog();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(BalloonWindows, LogWindowDecodesCp932AndFollowsAppends) {
    core::settings().isLog = true;
    dir_.write("piklog.txt", "\x82\xb1\x82\xf1\r\n");
    balloon::TLogForm form;
    form.UpdateLog();
    EXPECT_EQ(form.LogMemo->toPlainText(), QString::fromUtf8("こん"));
    std::ofstream(dir_.file("piklog.txt"), std::ios::app | std::ios::binary) << "more\r\n";
    form.UpdateLog();
    EXPECT_EQ(form.LogMemo->toPlainText(), QString::fromUtf8("こん\nmore"));
}

TEST_F(BalloonWindows, WithoutItsPictureTheBalloonStillSpeaks) {
    QWidget character;
    character.setGeometry(600, 300, 201, 191);
    balloon::TSerifuForm form(&character);
    EXPECT_TRUE(form.isPlain());
    EXPECT_EQ(form.size(), QSize(280, 231));
    balloon::SerifuQueue().add("こんにちは");
    form.SerifuTimerTimer();
    form.SerifuTimerTimer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.pos(), QPoint(600 - 279, 300 + 191 - 230));
    EXPECT_EQ(form.SerifuMemo->text(), QString::fromUtf8("こんにちは"));
}

TEST_F(BalloonWindows, WhileSheIsAwayForAFullScreenWindowTheBalloonSpeaksUnseen) {
    QWidget character;
    balloon::TSerifuForm form(&character);
    core::IsHiddenForFullscreen() = true;
    balloon::SerifuQueue().add("こんにちは");
    form.SerifuTimerTimer();
    form.SerifuTimerTimer();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.SerifuMemo->text(), QString::fromUtf8("こんにちは"));
    // Back while the line lingers: the balloon with it.
    core::IsHiddenForFullscreen() = false;
    form.SerifuTimerTimer();
    EXPECT_TRUE(form.isVisible());
}

TEST_F(BalloonWindows, BalloonTakesItsShapeFromThePictureAndNeverKeepsTheFocus) {
    platform::Image pic;
    pic.width = 30;
    pic.height = 20;
    pic.pixels.assign(600, 0xFFFFF0);
    pic.pixels[0] = 0x00FF00;
    dir_.write("fukidasi.bmp", platform::encodeBitmap24(pic));
    QWidget character;
    balloon::TSerifuForm form(&character);
    EXPECT_FALSE(form.isPlain());
    EXPECT_EQ(form.size(), QSize(31, 21));
    EXPECT_TRUE(std::filesystem::exists(dir_.file("fukidasi.msk")));
    EXPECT_FALSE(form.mask().isEmpty());
    form.show();
    form.SerifuMemo->setFocus();
    EXPECT_FALSE(form.SerifuMemo->hasFocus());
    EXPECT_EQ(QApplication::focusWidget() == form.SerifuMemo, false);
}

TEST_F(BalloonWindows, PaneKeepsTheNewestLineInView) {
    balloon::TTransparentMemo memo;
    memo.resize(243, 60);
    QFont f = memo.font();
    f.setPixelSize(12);
    memo.setFont(f);
    memo.appendLine("one");
    EXPECT_EQ(memo.scrollOffset(), 0);
    for (int i = 0; i < 20; ++i) {
        memo.appendLine(QString::fromUtf8("ぴんぽんぱんぽーん！ とても長い行が折り返されます。"));
    }
    EXPECT_GT(memo.scrollOffset(), 0);
    memo.setText(QString());
    EXPECT_EQ(memo.scrollOffset(), 0);
    EXPECT_TRUE(memo.lines().isEmpty());
}

TEST_F(BalloonWindows, MailWindowStartsHiddenAtItsPlaceWithItsTimer) {
    core::settings().MailX = 40;
    core::settings().MailY = 50;
    core::settings().MailInterval = 5;
    core::settings().MailCheck = false;
    mail::TPOPForm off;
    EXPECT_FALSE(off.isVisible());
    EXPECT_EQ(off.pos(), QPoint(40, 50));
    EXPECT_FALSE(off.MailTimer->isActive());
    EXPECT_EQ(off.LastModifiedLabel->text(),
              QString::fromUtf8("最終チェック日時： ----/--/-- --:--:--"));
    EXPECT_EQ(off.LastReceivedLabel->text(), QString::fromUtf8("受信メール総数： ありません．"));
    core::settings().MailCheck = true;
    core::settings().POPServer = "127.0.0.1";
    core::settings().MailInterval = 0; // only the start-up check
    off.applyTimerSettings();
    EXPECT_FALSE(off.MailTimer->isActive());
    core::settings().MailInterval = 5;
    off.applyTimerSettings();
    EXPECT_TRUE(off.MailTimer->isActive());
    EXPECT_EQ(off.MailTimer->interval(), 300000);
}

TEST_F(BalloonWindows, ClockAdjustmentOffSendsNothingAndRunsNoTimer) {
    core::settings().isAdjust = false;
    core::settings().NTPInterval = 10;
    core::settings().NTPTimeout = 5000;
    RecordingTimeService service;
    timesync::TNTPForm form(&service);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.client().outstanding());
    EXPECT_FALSE(form.NTPTimer->isActive());
    EXPECT_FALSE(form.NTPTimeoutTimer->isActive());
    EXPECT_EQ(form.NTPTimer->interval(), 600000);
    EXPECT_EQ(form.NTPTimeoutTimer->interval(), 5000);
    EXPECT_FALSE(form.client().resolving());
    EXPECT_TRUE(service.set.empty());
}

TEST_F(BalloonWindows, TheBalloonTimerSleepsWhileThereIsNothingToSay) {
    QWidget character;
    balloon::TSerifuForm form(&character);
    form.SerifuTimerTimer();
    EXPECT_FALSE(form.SerifuTimer->isActive()) << "idle with an empty queue";
    balloon::SerifuQueue().add("こんにちは");
    EXPECT_TRUE(form.SerifuTimer->isActive()) << "a line wakes it";
    for (int i = 0; i < 40 && form.SerifuTimer->isActive(); ++i) {
        form.SerifuTimerTimer(); // show, linger 2 s, hide
    }
    EXPECT_FALSE(form.SerifuTimer->isActive());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(BalloonWindows, MailWindowHidesOnlyOnALeftClickAndItsLabelsFitTheirText) {
    core::settings().MailCheck = false;
    mail::TPOPForm form;
    EXPECT_GE(form.width(), 238);
    EXPECT_GE(form.height(), 75);
    form.showLastModified("最終チェック日時：2026/12/09 12:34:56");
    const QFontMetrics fm(form.LastModifiedLabel->font());
    EXPECT_GE(form.LastModifiedLabel->width(),
              fm.horizontalAdvance(form.LastModifiedLabel->text()));

    auto send = [&](QEvent::Type type, Qt::MouseButton b) {
        QMouseEvent e(type, QPointF(3, 3), form.LastModifiedLabel->mapToGlobal(QPointF(3, 3)), b,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : b, Qt::NoModifier);
        QApplication::sendEvent(form.LastModifiedLabel, &e);
    };
    form.show();
    for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
        send(QEvent::MouseButtonPress, b);
        send(QEvent::MouseButtonRelease, b);
        send(QEvent::MouseButtonDblClick, b);
        EXPECT_TRUE(form.isVisible()) << b;
    }
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
}
