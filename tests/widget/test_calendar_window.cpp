#include <QAction>
#include <QLabel>
#include <QMenu>
#include <gtest/gtest.h>

#include "../unit/TempDir.h"
#include "balloon/LogStream.h"
#include "calendar/CalUnit.h"
#include "core/AppState.h"
#include "core/PikMain.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/Bitmap.h"
#include "platform/TextCodec.h"

namespace {

class FixedClock : public platform::Clock {
public:
    platform::LocalTime t;
    platform::LocalTime now() const override { return t; }
    void set(int y, int m, int d) {
        t.year = y;
        t.month = m;
        t.day = d;
        t.hour = 12;
    }
};

platform::Image plainPicture(int w, int h, std::uint32_t colour) {
    platform::Image img;
    img.width = w;
    img.height = h;
    img.pixels.assign(static_cast<size_t>(w * h), colour);
    return img;
}

// Each test runs in a fresh working directory with a background picture and today fixed at
// 2026-12-24; error boxes are collected instead of shown.
class CalendarWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        dir_.write("back.bmp", platform::encodeBitmap24(plainPicture(20, 10, 0xE0F0FF)));
        core::resetSettings();
        core::resetAppState();
        platform::setErrorPresenter([this](const std::string& m) { errors_.push_back(m); });
        clock_.set(2026, 12, 24);
    }
    void TearDown() override {
        cal_.reset();
        main_.reset();
        balloon::LogStream().close();
        platform::setErrorPresenter({});
        std::filesystem::current_path(old_);
    }
    // Created hidden, then given the fixed clock and shown as the settings say.
    calendar::TCalForm& start() {
        const bool shown = core::settings().ShowCalender;
        core::settings().ShowCalender = false;
        cal_ = std::make_unique<calendar::TCalForm>();
        cal_->setClock(&clock_);
        core::settings().ShowCalender = shown;
        if (shown) {
            cal_->show();
        }
        return *cal_;
    }
    static QLabel* dayLabel(calendar::TCalForm& f, int day) {
        return f.Days[static_cast<size_t>(f.grid().offset + day - 1)];
    }
    static int yellowCells(calendar::TCalForm& f) {
        int n = 0;
        for (QLabel* l : f.Days) {
            n += l->autoFillBackground() ? 1 : 0;
        }
        return n;
    }

    TempDir dir_;
    std::filesystem::path old_;
    std::vector<std::string> errors_;
    FixedClock clock_;
    std::unique_ptr<core::TMainForm> main_;
    std::unique_ptr<calendar::TCalForm> cal_;
};

} // namespace

TEST_F(CalendarWindowTest, StartsWhereTheSettingsSayAndShowsThisMonth) {
    core::settings().CalX = 321;
    core::settings().CalY = 45;
    calendar::TCalForm& f = start();
    EXPECT_EQ(calendar::CalForm, &f);
    EXPECT_TRUE(errors_.empty());
    EXPECT_FALSE(f.isPlain());
    EXPECT_EQ(f.pos(), QPoint(321, 45));
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.size(), QSize(232, 160));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2026年12月"));
    EXPECT_EQ(f.Label1->text(), QStringLiteral("2026年12月"));
    EXPECT_EQ(f.Label1->geometry().right() + 1, 232) << "right-aligned";
    EXPECT_EQ(f.Label1->y(), 144) << "on the bottom edge";
    EXPECT_EQ(f.Days[41]->pos(), QPoint(196, 134));
    EXPECT_EQ(f.Headings[0]->text(), QStringLiteral("Sun"));
    EXPECT_EQ(f.Headings[0]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(f.Headings[6]->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(dayLabel(f, 1)->text(), QStringLiteral(" 1"));
    EXPECT_TRUE(dayLabel(f, 24)->autoFillBackground());
    EXPECT_EQ(dayLabel(f, 24)->palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_EQ(yellowCells(f), 1);
    EXPECT_EQ(dayLabel(f, 23)->palette().color(QPalette::WindowText),
              f.palette().color(QPalette::WindowText))
        << "no longer a holiday in 2026";
    EXPECT_EQ(f.findChildren<QLabel*>().size(), 51); // picture, 7 headings, 42 days, title
}

TEST_F(CalendarWindowTest, HiddenAtStartKeepsTheDesignCaption) {
    core::settings().ShowCalender = false;
    calendar::TCalForm& f = start();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender"));
}

TEST_F(CalendarWindowTest, MenuPagesAndComesBackToToday) {
    calendar::TCalForm& f = start();
    const QList<QAction*> items = f.PopupMenu1->actions();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0]->text(), QStringLiteral("とじる"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("サイズ..."));
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), QStringLiteral("<< 先月"));
    EXPECT_EQ(items[4]->text(), QStringLiteral("- 今月 -"));
    EXPECT_EQ(items[5]->text(), QStringLiteral("来月 >>"));

    f.N4->trigger();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2027年1月"));
    EXPECT_EQ(yellowCells(f), 0);
    f.N3->trigger();
    f.N3->trigger();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2026年11月"));
    EXPECT_EQ(yellowCells(f), 0);
    f.N5->trigger();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2026年12月"));
    EXPECT_EQ(yellowCells(f), 1);
    EXPECT_TRUE(dayLabel(f, 24)->autoFillBackground());
}

TEST_F(CalendarWindowTest, NavigationStopsAtTheBoundsAndAWrongClockShowsTheNearest) {
    clock_.set(1980, 1, 15);
    calendar::TCalForm& f = start();
    EXPECT_FALSE(f.N3->isEnabled());
    f.N3Click();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 1980年1月"));
    f.N4->trigger();
    EXPECT_TRUE(f.N3->isEnabled());

    clock_.set(2150, 6, 1);
    f.N5Click();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2099年12月"));
    EXPECT_EQ(dayLabel(f, 1)->text(), QStringLiteral(" 1"));
    EXPECT_EQ(f.grid().offset, 2) << "2099-12-01 is a Tuesday";
    EXPECT_EQ(yellowCells(f), 0);
    EXPECT_FALSE(f.N4->isEnabled());
    f.N4Click();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2099年12月"));
}

TEST_F(CalendarWindowTest, SizesChangeTheWindowAndTheSameSizeChangesNothing) {
    calendar::TCalForm& f = start();
    const std::vector<QLabel*> before(f.Days.begin(), f.Days.end());
    f.N4Click();
    f.N16pt1->trigger();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2027年1月")) << "not even the month";
    EXPECT_EQ(core::settings().CalSize, 2);

    f.N9pt1->trigger();
    EXPECT_EQ(core::settings().CalSize, 1);
    EXPECT_EQ(f.size(), QSize(131, 88));
    EXPECT_EQ(f.Headings[1]->text(), QStringLiteral("M"));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2026年12月")) << "back to this month";
    EXPECT_EQ(f.Days[8]->pos(), QPoint(10 + 17, 14 + 12));

    f.N24pt1->trigger();
    EXPECT_EQ(core::settings().CalSize, 3);
    EXPECT_EQ(f.size(), QSize(348, 240));
    EXPECT_EQ(f.Label1->geometry().right() + 1, 348);
    EXPECT_EQ(std::vector<QLabel*>(f.Days.begin(), f.Days.end()), before) << "created once";
    EXPECT_EQ(f.findChildren<QLabel*>().size(), 51);
}

TEST_F(CalendarWindowTest, EveryShowingLaysOutAnewAndCloseKeepsTheSetting) {
    calendar::TCalForm& f = start();
    f.N4Click();
    f.N1->trigger();
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(core::settings().ShowCalender);
    core::settings().CalSize = 1;
    f.show();
    EXPECT_EQ(f.size(), QSize(131, 88));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2026年12月"));
}

TEST_F(CalendarWindowTest, HolidaysAreRedWithTheirNameAsTip) {
    clock_.set(2026, 9, 1);
    calendar::TCalForm& f = start();
    const QColor red(255, 0, 0);
    EXPECT_EQ(dayLabel(f, 21)->toolTip(), QStringLiteral("敬老の日"));
    EXPECT_EQ(dayLabel(f, 22)->toolTip(), QStringLiteral("国民の休日"));
    EXPECT_EQ(dayLabel(f, 22)->palette().color(QPalette::WindowText), red);
    EXPECT_EQ(dayLabel(f, 15)->palette().color(QPalette::WindowText),
              f.palette().color(QPalette::WindowText));
    EXPECT_TRUE(dayLabel(f, 15)->toolTip().isEmpty());
    EXPECT_EQ(dayLabel(f, 19)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

TEST_F(CalendarWindowTest, MissingBackgroundIsPlainAndSilent) {
    std::filesystem::remove(dir_.file("back.bmp"));
    calendar::TCalForm& f = start();
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(f.isPlain());
    EXPECT_EQ(dayLabel(f, 24)->text(), QStringLiteral("24"));
}

TEST_F(CalendarWindowTest, BrokenBackgroundIsReportedOnceAndTheGridStillDrawn) {
    dir_.write("back.bmp", "BM not really a picture");
    calendar::TCalForm& f = start();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "ファイル back.bmp は開けません");
    EXPECT_TRUE(f.isPlain());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(dayLabel(f, 31)->text(), QStringLiteral("31"));
    f.hide();
    f.show();
    EXPECT_EQ(errors_.size(), 1u);
}

TEST_F(CalendarWindowTest, TheCharacterHidesShowsAndSavesIt) {
    dir_.write("pikprsn.bmp", platform::encodeBitmap24(plainPicture(10, 8, 0xFFFFFF)));
    main_ = std::make_unique<core::TMainForm>();
    calendar::TCalForm& f = start();
    ASSERT_TRUE(f.isVisible());

    main_->N2Click();
    EXPECT_FALSE(f.isVisible());
    main_->TaskTrayDblClick();
    EXPECT_TRUE(f.isVisible());
    core::settings().ShowCalender = false;
    main_->TaskTrayDblClick();
    EXPECT_FALSE(f.isVisible());

    f.move(400, 222);
    main_->StoreIniFile();
    const std::string ini = platform::fromCp932(dir_.read("pikmain.ini"));
    EXPECT_NE(ini.find("CalX=400\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("CalY=222\r\n"), std::string::npos) << ini;

    f.N4Click();
    calendar::showCurrentMonth(); // what the tick does at a change of day
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Calender: 2026年12月"));
}
