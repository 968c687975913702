#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../unit/TempDir.h"
#include "balloon/LogStream.h"
#include "balloon/SerifuQueue.h"
#include "core/AppState.h"
#include "core/PikMain.h"
#include "core/Settings.h"
#include "platform/AppError.h"
#include "platform/Bitmap.h"
#include "platform/Sound.h"
#include "platform/TextCodec.h"
#include "platform/WindowShape.h"
#include "shape/CoolForm.h"
#include "shape/MaskFile.h"
#include "shape/extMaskgenerator.h"
#include "tray/QtTrayShell.h"
#include "tray/TaskTray.h"

namespace {

// A 10 × 8 picture: white (the top-left colour) with a red block.
platform::Image character() {
    platform::Image img;
    img.width = 10;
    img.height = 8;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            img.pixels.push_back(x >= 2 && x < 7 && y >= 1 && y < 6 ? 0xFF0000 : 0xFFFFFF);
        }
    }
    return img;
}

// Each test runs in a fresh working directory with the character picture and collects the
// error boxes instead of showing them.
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        dir_.write("pikprsn.bmp", platform::encodeBitmap24(character()));
        core::resetSettings();
        core::resetAppState();
        platform::setErrorPresenter([this](const std::string& m) { errors_.push_back(m); });
    }
    void TearDown() override {
        form_.reset();
        balloon::LogStream().close();
        platform::setErrorPresenter({});
        std::filesystem::current_path(old_);
    }
    core::TMainForm& start() {
        form_ = std::make_unique<core::TMainForm>();
        return *form_;
    }
    std::string log() const { return platform::fromCp932(dir_.read("piklog.txt")); }

    TempDir dir_;
    std::filesystem::path old_;
    std::vector<std::string> errors_;
    std::unique_ptr<core::TMainForm> form_;
};

} // namespace

TEST_F(MainFormTest, StartUpAppliesSettingsShapesTheWindowAndOpensTheLog) {
    dir_.write("pikmain.ini", platform::toCp932("Top=-50\r\nLeft=4000\r\nisLog=1\r\nClockX=5\r\n"
                                                "ClockY=6\r\nClockFontSize=20\r\n"
                                                "ClockFontName=ＭＳ ゴシック\r\n"));
    core::TMainForm& f = start();
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(f.pos(), QPoint(4000, -50)) << "no screen checks";
    EXPECT_EQ(f.size(), QSize(11, 9));
    EXPECT_TRUE(std::filesystem::exists(dir_.file("pikprsn.bmp.msk")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("pikprsn.msk")));
    EXPECT_EQ(f.mask(), platform::toQRegion(shape::maskRegion(character(), 0xFFFFFF)));
    EXPECT_EQ(f.ClockLabel->pos(), QPoint(5, 6));
    EXPECT_FALSE(f.ClockLabel->isHidden());
    EXPECT_TRUE(f.ClockLabel->font().underline());
    EXPECT_EQ(f.ClockLabel->font().pointSize(), 20);
    EXPECT_TRUE(f.ClockTimer->isActive());
    EXPECT_EQ(core::StartDir(), std::filesystem::current_path().string());
    EXPECT_TRUE(log().ends_with(" PP: ぴこぷる起動しました．\r\n")) << log();
}

TEST_F(MainFormTest, ABadValueCostsOnlyItsKey) {
    dir_.write("pikmain.ini", "Top=abc\r\nLeft=60\r\nisLog=1\r\nShowTime=x\r\n");
    core::TMainForm& f = start();
    EXPECT_EQ(errors_,
              (std::vector<std::string>{"'abc' は整数ではありません", "'x' は整数ではありません"}));
    EXPECT_EQ(f.pos(), QPoint(60, 167));
    EXPECT_TRUE(f.ClockTimer->isActive()) << "the start-up went on";
    EXPECT_FALSE(f.mask().isEmpty());
    EXPECT_TRUE(log().ends_with("起動しました．\r\n"));
    f.close();
    const std::string saved = dir_.read("pikmain.ini");
    EXPECT_NE(saved.find("Left=60\r\n"), std::string::npos) << "the user's values survive";
    EXPECT_NE(saved.find("isLog=1\r\n"), std::string::npos);
}

TEST_F(MainFormTest, APictureThatIsNoBitmapEndsTheStartUpWithItsMessage) {
    dir_.write("pikmain.ini", "PikImage=broken.bmp\r\nisLog=1\r\n");
    dir_.write("broken.bmp", "BM\x10\x00garbage");
    core::TMainForm& f = start();
    EXPECT_EQ(errors_, (std::vector<std::string>{"ファイル broken.bmp は開けません"}));
    EXPECT_FALSE(f.ClockTimer->isActive());
    EXPECT_FALSE(balloon::LogStream().isOpen());
    EXPECT_FALSE(std::filesystem::exists(dir_.file("broken.bmp.msk")));
    EXPECT_EQ(f.size(), QSize(220, 195));
}

TEST_F(MainFormTest, AMaskThatCannotBeWrittenLeavesTheWindowRectangular) {
    dir_.write("pikmain.ini", "isLog=1\r\n");
    // A directory where the mask file should go: it cannot be replaced by a file.
    std::filesystem::create_directory(dir_.file("pikprsn.bmp.msk"));
    core::TMainForm& f = start();
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(f.mask().isEmpty());
    EXPECT_EQ(f.size(), QSize(11, 9));
    EXPECT_TRUE(f.ClockTimer->isActive());
    EXPECT_TRUE(balloon::LogStream().isOpen());
}

TEST_F(MainFormTest, AnExistingMaskIsUsedEvenForAnotherPicture) {
    const auto other = *shape::Region::fromNormalRects({{0, 0, 3, 3}});
    dir_.write("pikprsn.bmp.msk", shape::encodeMaskFile(other));
    core::TMainForm& f = start();
    EXPECT_EQ(f.mask(), platform::toQRegion(other));
}

TEST_F(MainFormTest, FirstShutdownWritesTheCompleteFileIntoTheStartDirectory) {
    core::TMainForm& f = start();
    const std::string startDir = dir_.path();
    TempDir elsewhere;
    std::filesystem::current_path(elsewhere.path()); // as a file dialog might
    f.close();
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(std::filesystem::exists(elsewhere.file("pikmain.ini")));
    const std::string file = dir_.read("pikmain.ini");
    EXPECT_EQ(file, core::writeSettings(core::Settings{})) << "defaults, window keys included";
    struct stat st {};
    ::stat(dir_.file("pikmain.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds the POP password";
}

TEST_F(MainFormTest, ShutdownSavesTheNewPositionAndEndsTheLog) {
    dir_.write("pikmain.ini", "isLog=1\r\n");
    core::TMainForm& f = start();
    f.move(321, 123);
    f.ClockLabel->move(9, 10);
    f.close();
    const std::string file = dir_.read("pikmain.ini");
    EXPECT_NE(file.find("Top=123\r\nLeft=321\r\n"), std::string::npos);
    EXPECT_NE(file.find("ClockX=9\r\nClockY=10\r\n"), std::string::npos);
    EXPECT_TRUE(log().ends_with(" PP: ぴこぷる終了します．\r\n"));
    EXPECT_FALSE(balloon::LogStream().isOpen());
}

TEST_F(MainFormTest, ShutdownIsAbandonedWhenTheSettingsCannotBeWritten) {
    dir_.write("pikmain.ini", "isLog=1\r\n");
    core::TMainForm& f = start();
    f.show();
    // The settings file's place is taken by a directory: it cannot be replaced.
    std::filesystem::remove(dir_.file("pikmain.ini"));
    std::filesystem::create_directory(dir_.file("pikmain.ini"));
    EXPECT_FALSE(f.close());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "ファイル " + dir_.file("pikmain.ini") + " を作成できません");
    EXPECT_TRUE(f.isVisible()) << "the program keeps running";
    EXPECT_TRUE(balloon::LogStream().isOpen()) << "the log is not ended";
    std::filesystem::remove(dir_.file("pikmain.ini"));
    EXPECT_TRUE(f.close());
    EXPECT_TRUE(log().ends_with("終了します．\r\n"));
}

TEST_F(MainFormTest, MenusCarryTheirCaptionsAndStartUpStates) {
    dir_.write("pikmain.ini", "isLog=1\r\nMailCheck=0\r\n");
    core::TMainForm& f = start();
    QStringList captions;
    for (QAction* a : f.PopupMenu1->actions()) {
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    EXPECT_EQ(captions.join('|'),
              QString::fromUtf8(
                  "うるさい！|しずかに|確認する。|-|設定する。|へるぷ...|-|ないない|おしまい。"));
    EXPECT_TRUE(f.N11->isCheckable());
    EXPECT_FALSE(f.N11->isChecked());
    EXPECT_EQ(f.N8->text(), QString::fromUtf8("メール確認..."));
    EXPECT_EQ(f.N10->text(), QString::fromUtf8("ログ確認..."));
    EXPECT_FALSE(f.N8->isEnabled());
    EXPECT_TRUE(f.N10->isEnabled());
    EXPECT_EQ(f.FontChangeMenu->text(), QString::fromUtf8("フォント変更..."));
    EXPECT_EQ(f.BGColorChangeMenu->text(), QString::fromUtf8("背景色変更..."));
}

TEST_F(MainFormTest, TheTickSetsTheClockAndTheTrayTip) {
    core::TMainForm& f = start();
    EXPECT_TRUE(f.TaskTray->Registered());
    EXPECT_EQ(f.TaskTray->IconID(), 2);
    f.ClockTimerTimer();
    EXPECT_TRUE(
        QRegularExpression("^[ 12][0-9][ :][0-5][0-9]$").match(f.ClockLabel->text()).hasMatch())
        << f.ClockLabel->text().toStdString();
    const QString tip = f.trayShell()->toolTip();
    EXPECT_TRUE(QRegularExpression("^\\d{4}/\\d\\d/\\d\\d( \\d{1,2}:\\d\\d:\\d\\d)?$")
                    .match(tip)
                    .hasMatch())
        << tip.toStdString();
    f.close();
    EXPECT_FALSE(f.TaskTray->Registered()) << "the icon leaves the tray at shutdown";
}

TEST_F(MainFormTest, HideAndTrayDoubleClickBringBackOnlyTheCharacter) {
    core::TMainForm& f = start();
    f.show();
    f.N2Click();
    EXPECT_TRUE(core::IsHidden());
    EXPECT_FALSE(f.isVisible());
    f.TaskTrayDblClick();
    EXPECT_FALSE(core::IsHidden());
    EXPECT_TRUE(f.isVisible());
}

TEST_F(MainFormTest, ExtremePositionsAreClampedOnScreenAndSavedAsTheUserWroteThem) {
    dir_.write("pikmain.ini", "Left=2147483647\r\nTop=-2147483648\r\nClockX=2147483647\r\n"
                              "ClockY=-7\r\nClockFontSize=100000\r\n");
    core::TMainForm& f = start();
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(f.pos(), QPoint(32767, -32768));
    EXPECT_EQ(f.ClockLabel->pos(), QPoint(32767, -7));
    EXPECT_EQ(f.ClockLabel->font().pointSize(), 16) << "a size no font can take stays out";
    f.close();
    const std::string saved = dir_.read("pikmain.ini");
    for (const char* line : {"Left=2147483647\r\n", "Top=-2147483648\r\n", "ClockX=2147483647\r\n",
                             "ClockY=-7\r\n", "ClockFontSize=100000\r\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line;
    }
}

TEST_F(MainFormTest, ASettingsFileThatCannotBeReadIsMovedAsideBeforeItIsReplaced) {
    if (::geteuid() == 0) {
        // Root reads any file: make it unreadable by size instead.
        dir_.write("pikmain.ini", "Left=60\r\nPOPPassword=secret\r\n" +
                                      std::string((16 << 20) + 10, '#') + "\r\nTop=70\r\n");
    } else {
        dir_.write("pikmain.ini", "Left=60\r\nPOPPassword=secret\r\n");
        ::chmod(dir_.file("pikmain.ini").c_str(), 0200);
    }
    const std::string original = [&] {
        ::chmod(dir_.file("pikmain.ini").c_str(), 0600);
        std::string bytes = dir_.read("pikmain.ini");
        if (::geteuid() != 0) {
            ::chmod(dir_.file("pikmain.ini").c_str(), 0200);
        }
        return bytes;
    }();
    core::TMainForm& f = start();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "ファイル " + dir_.file("pikmain.ini") + " は開けません");
    f.StoreIniFile();
    ::chmod(dir_.file("pikmain.ini.unread").c_str(), 0600);
    EXPECT_EQ(dir_.read("pikmain.ini.unread"), original) << "nothing the user had is lost";
    EXPECT_TRUE(std::filesystem::exists(dir_.file("pikmain.ini")));
    // A second save replaces only the new file.
    f.StoreIniFile();
    EXPECT_EQ(dir_.read("pikmain.ini.unread"), original);
}

TEST_F(MainFormTest, LeftoversOfKilledSavesAreRemovedAtStart) {
    dir_.write("pikmain.ini.nagomi-Ab12Cd", "half");
    dir_.write("pikprsn.bmp.msk.k3J9aZ", "half");
    dir_.write("pikmain.ini.backup", "the user's");
    start();
    EXPECT_FALSE(std::filesystem::exists(dir_.file("pikmain.ini.nagomi-Ab12Cd")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("pikprsn.bmp.msk.k3J9aZ")));
    EXPECT_TRUE(std::filesystem::exists(dir_.file("pikmain.ini.backup")));
}

namespace {

class FakeClock : public platform::Clock {
public:
    platform::LocalTime t;
    platform::LocalTime now() const override { return t; }
};

platform::LocalTime at(int y, int mo, int d, int h, int mi, int s, int ms) {
    platform::LocalTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.millisecond = ms;
    return t;
}

QImage rendered(QLabel* l) {
    return l->grab().toImage();
}

} // namespace

TEST_F(MainFormTest, APressHeldAcrossMidnightIsNoClick) {
    core::TMainForm& f = start();
    FakeClock clock;
    f.setWallClock(clock);
    balloon::SerifuQueue().clear();
    clock.t = at(2026, 12, 9, 23, 59, 59, 800);
    emit f.CoolForm1->MouseDown(Qt::LeftButton, {}, QPoint(5, 5));
    clock.t = at(2026, 12, 10, 0, 1, 0, 0); // held for a minute, into the next day
    emit f.CoolForm1->MouseUp(Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(balloon::SerifuQueue().empty()) << "a long press, not a click";
    // Within the second of the same day it is a click.
    clock.t = at(2026, 12, 10, 0, 0, 0, 400);
    emit f.CoolForm1->MouseDown(Qt::LeftButton, {}, QPoint(5, 5));
    clock.t = at(2026, 12, 10, 0, 0, 1, 100);
    emit f.CoolForm1->MouseUp(Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(balloon::SerifuQueue().count(), 2u);
    balloon::SerifuQueue().clear();
}

TEST_F(MainFormTest, TheClockFontIsTheChosenFaceAndSizeUnderlinedNeverBoldOrItalic) {
    core::TMainForm& f = start();
    f.ClockLabel->setText(QStringLiteral("12:34"));
    QFont chosen(QStringLiteral("IPAGothic"), 20);
    chosen.setStyleName(QStringLiteral("Bold Italic")); // as the font dialog hands it back
    chosen.setBold(true);
    chosen.setItalic(true);
    f.applyClockFont(chosen);

    QLabel plain(QStringLiteral("12:34"));
    QFont expect(QStringLiteral("IPAGothic"), 20);
    expect.setUnderline(true);
    plain.setFont(expect);
    plain.setPalette(f.ClockLabel->palette());
    plain.setAutoFillBackground(true);
    plain.setAlignment(f.ClockLabel->alignment());
    plain.resize(f.ClockLabel->size());
    EXPECT_EQ(rendered(f.ClockLabel), rendered(&plain)) << "drawn plain, underlined";

    QLabel bold(QStringLiteral("12:34"));
    bold.setFont(chosen);
    bold.setPalette(plain.palette());
    bold.setAutoFillBackground(true);
    bold.setAlignment(plain.alignment());
    bold.resize(plain.size());
    EXPECT_NE(rendered(&bold), rendered(&plain)) << "the check can tell bold italic apart";
}

TEST_F(MainFormTest, TheClockLabelFitsALargeFont) {
    dir_.write("pikmain.ini", "ClockFontSize=40\r\n");
    core::TMainForm& f = start();
    f.ClockTimerTimer();
    const QFontMetrics fm(f.ClockLabel->font());
    EXPECT_GE(f.ClockLabel->width(), fm.horizontalAdvance(f.ClockLabel->text()));
    EXPECT_GE(f.ClockLabel->height(), fm.height());
}

TEST_F(MainFormTest, TheClockTickSleepsToTheNextHalfSecond) {
    core::TMainForm& f = start();
    FakeClock clock;
    f.setWallClock(clock);
    clock.t = at(2026, 12, 9, 10, 0, 5, 123);
    f.ClockTimerTimer();
    EXPECT_TRUE(f.ClockTimer->isActive());
    EXPECT_EQ(f.ClockTimer->interval(), 379) << "just past :05.500, when the colon turns";
    clock.t.millisecond = 640;
    f.ClockTimerTimer();
    EXPECT_EQ(f.ClockTimer->interval(), 362);
}

TEST_F(MainFormTest, ASizeChangeKeepsHerCornerTheLabelsPlaceAndFontAndComesBackFromItsCache) {
    dir_.write("pikmain.ini", platform::toCp932("Top=40\r\nLeft=30\r\nClockX=4\r\nClockY=3\r\n"
                                                "ClockFontSize=12\r\n"));
    core::TMainForm& f = start();
    ASSERT_EQ(f.size(), QSize(11, 9));
    const double designPoints = f.ClockLabel->font().pointSizeF();

    f.applyScale(300);
    EXPECT_EQ(f.pos(), QPoint(30, 40)) << "her top-left corner stays";
    EXPECT_EQ(f.size(), QSize(31, 25));
    EXPECT_EQ(f.ClockLabel->pos(), QPoint(12, 9));
    EXPECT_DOUBLE_EQ(f.ClockLabel->font().pointSizeF(), designPoints * 3);
    EXPECT_TRUE(std::filesystem::exists(dir_.path() + "/pikprsn.bmp.300.msk"));
    // The outline is the scaled picture's: the red block, 15 × 15 from (6, 3).
    ASSERT_TRUE(f.CoolForm1->Mask()->region);
    EXPECT_EQ(f.CoolForm1->Mask()->region->bound(), (shape::Rect{6, 3, 21, 18}));

    // What the file keeps is the design's: the label the user moved at 300 % is divided back.
    f.ClockLabel->move(30, 9);
    f.StoreIniFile();
    const std::string saved = platform::fromCp932(dir_.read("pikmain.ini"));
    EXPECT_NE(saved.find("ClockX=10\r\nClockY=3\r\n"), std::string::npos);
    EXPECT_NE(saved.find("ClockFontSize=12\r\n"), std::string::npos);
    EXPECT_NE(saved.find("CharScale=300\r\n"), std::string::npos);

    // Back at the design size from the design size's own file; a cut cache is made again.
    dir_.write("pikprsn.bmp.300.msk", "\x10");
    f.applyScale(100);
    EXPECT_EQ(f.size(), QSize(11, 9));
    EXPECT_EQ(f.ClockLabel->pos(), QPoint(10, 3));
    EXPECT_DOUBLE_EQ(f.ClockLabel->font().pointSizeF(), designPoints);
    f.applyScale(300);
    EXPECT_EQ(f.CoolForm1->Mask()->region->bound(), (shape::Rect{6, 3, 21, 18}));
    EXPECT_GT(dir_.read("pikprsn.bmp.300.msk").size(), 40u);
    f.applyScale(401);
    EXPECT_EQ(f.scale(), 300) << "a size beyond the range changes nothing";
}

namespace {

// What reaches the sound service's device; the service mutes before that.
struct RecordingSound : platform::Sound {
    std::vector<std::string> played;
    int halts = 0;
    void startSync(const std::string& f) override { played.push_back("sync " + f); }
    void startAsync(const std::string& f) override { played.push_back("async " + f); }
    void startLoop(const std::string& f) override { played.push_back("loop " + f); }
    void halt() override { ++halts; }
};

struct SoundInPlace {
    explicit SoundInPlace(platform::Sound& s) { platform::setSound(&s); }
    ~SoundInPlace() { platform::setSound(nullptr); }
};

} // namespace

TEST_F(MainFormTest, QuietSilencesTheTimeSignalButNotHerLinesAndIsSaved) {
    dir_.write("pikmain.ini", "Quiet=1\r\nVolume=50\r\nOclock=1\r\nVoiceFile=chime.wav\r\n");
    RecordingSound sound;
    SoundInPlace inPlace(sound);
    balloon::SerifuQueue().clear();
    core::TMainForm& f = start();
    FakeClock clock;
    clock.t = at(2024, 5, 1, 10, 0, 0, 100);
    f.setWallClock(clock);
    EXPECT_TRUE(f.N11->isChecked());
    EXPECT_TRUE(sound.muted());
    EXPECT_EQ(sound.volume(), 50);

    f.ClockTimerTimer();
    EXPECT_TRUE(sound.played.empty());
    ASSERT_EQ(balloon::SerifuQueue().count(), 2u) << "the lines are still spoken";
    balloon::SerifuQueue().takeFirst();
    EXPECT_EQ(balloon::SerifuQueue().takeFirst(), "10時をお知らせしま～す★");

    // Unchecked from the menu: sounds again. Checked: the alarm ringing stops at once.
    f.N11->trigger();
    EXPECT_FALSE(core::settings().Quiet);
    EXPECT_FALSE(sound.muted());
    platform::sound().playLoop("alarm.wav");
    EXPECT_EQ(sound.played, std::vector<std::string>{"loop alarm.wav"});
    const int halts = sound.halts;
    f.N11->trigger();
    EXPECT_EQ(sound.halts, halts + 1);
    platform::sound().playAsync("mail.wav");
    EXPECT_EQ(sound.played.size(), 1u);

    f.close();
    const std::string saved = dir_.read("pikmain.ini");
    EXPECT_NE(saved.find("Quiet=1\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Volume=50\r\n"), std::string::npos) << saved;
    balloon::SerifuQueue().clear();
}

TEST_F(MainFormTest, TheVolumeSettingReachesTheSoundServiceInRange) {
    RecordingSound sound;
    SoundInPlace inPlace(sound);
    core::TMainForm& f = start();
    EXPECT_EQ(sound.volume(), 100);
    EXPECT_FALSE(sound.muted());
    core::settings().Volume = 30;
    f.applySoundSettings();
    EXPECT_EQ(sound.volume(), 30);
    sound.setVolume(250);
    EXPECT_EQ(sound.volume(), 100);
    sound.setVolume(-5);
    EXPECT_EQ(sound.volume(), 0);
    // Off X11 no window is ever full screen: the watch changes nothing.
    core::settings().HideOnFullscreen = true;
    f.applySoundSettings();
    EXPECT_FALSE(sound.muted());
    EXPECT_FALSE(core::IsHiddenForFullscreen());
}
