#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "../unit/TempDir.h"
#include "balloon/LogStream.h"
#include "calendar/CalUnit.h"
#include "core/AppState.h"
#include "core/Settings.h"
#include "mail/MailCheck.h"
#include "platform/AppError.h"
#include "platform/Files.h"
#include "platform/Sound.h"
#include "platform/TextCodec.h"
#include "settings_dialog/Config.h"
#include "settings_dialog/SpinEdit.h"

namespace {

struct RecordingSound : platform::Sound {
    std::vector<std::string> played;
    void startSync(const std::string& f) override { played.push_back("sync " + f); }
    void startAsync(const std::string& f) override { played.push_back("async " + f); }
    void startLoop(const std::string& f) override { played.push_back("loop " + f); }
    void halt() override {}
};

// A dialog over a stand-in character window (220 × 195 with its clock label and N8), in a
// scratch working directory; saves and error boxes are counted instead of shown.
class ConfigDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        // The autostart entry goes to a folder of the test's own, never the user's.
        config_ = std::filesystem::path(dir_.path()) / "config";
        ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
        core::resetSettings();
        core::resetAppState();
        platform::setErrorPresenter([this](const std::string& m) { errors_.push_back(m); });
        platform::setSound(&sound_);
        character_.resize(220, 195);
        clockLabel_ = new QLabel(QStringLiteral("00:00"), &character_);
        clockLabel_->setGeometry(83, 120, 55, 21);
        dialog_ = std::make_unique<settings_dialog::TCFForm>(
            settings_dialog::ConfigHost{clockLabel_, [this] { return character_.size(); }, &n8_,
                                        [this] {
                                            ++saves_;
                                            saved_ = core::writeSettings(core::settings());
                                        },
                                        [this] { return scale_; },
                                        [this](int percent) {
                                            scales_.push_back(percent);
                                            labelAtScaleChange_ = clockLabel_->pos();
                                            scale_ = percent;
                                        },
                                        [this] { ++soundChanges_; }});
        dialog_->buildControls();
        dialog_->setFilePicker([this](const settings_dialog::OpenDialog& d) {
            filters_.push_back(d.Filter.toStdString());
            return pickResult_;
        });
    }
    void TearDown() override {
        dialog_.reset();
        balloon::LogStream().close();
        platform::setSound(nullptr);
        platform::setErrorPresenter({});
        std::filesystem::current_path(old_);
        ::unsetenv("XDG_CONFIG_HOME");
    }
    settings_dialog::TCFForm& shown() {
        dialog_->Fill();
        dialog_->show();
        return *dialog_;
    }
    static void leave(QWidget* w) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(w, &out);
    }
    // What a mouse click does to a button: it takes the focus on the press, then clicks.
    void clickWithFocus(QPushButton* b) {
        QApplication::setActiveWindow(dialog_.get());
        b->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(b->hasFocus());
        b->click();
    }
    // Return where the focus is; what nobody takes goes up to the dialog.
    static void pressReturn() {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }

    TempDir dir_;
    std::filesystem::path old_;
    std::filesystem::path config_;
    int scale_ = 100;
    std::vector<int> scales_;
    QPoint labelAtScaleChange_;
    int soundChanges_ = 0;
    std::vector<std::string> errors_;
    RecordingSound sound_;
    QWidget character_;
    QLabel* clockLabel_ = nullptr;
    QAction n8_{QStringLiteral("メール確認...")};
    int saves_ = 0;
    std::string saved_;
    std::vector<std::string> filters_;
    std::optional<QString> pickResult_;
    std::unique_ptr<settings_dialog::TCFForm> dialog_;
};

} // namespace

TEST_F(ConfigDialogTest, NoValidatorsNamedFieldsAndCaptionsThatFit) {
    auto& d = *dialog_;
    EXPECT_EQ(settings_dialog::CFForm, &d);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("設定する。"));
    EXPECT_EQ(d.size(), QSize(340, 417));
    ASSERT_EQ(d.PageControl1->count(), 4);
    for (QLineEdit* e : d.findChildren<QLineEdit*>()) {
        if (e->objectName() != QStringLiteral("qt_spinbox_lineedit")) {
            EXPECT_EQ(e->validator(), nullptr) << e->objectName().toStdString();
        }
    }

    const std::pair<QWidget*, const char*> names[] = {
        {d.PikFileEdit, "見た目"},
        {d.ClockXEdit, "X"},
        {d.ClockYEdit, "Y"},
        {d.VoiceFileEdit, "こえ"},
        {d.HourSpinEdit, "時"},
        {d.MinSpinEdit, "分"},
        {d.AlermEdit, "おと"},
        {d.MailIntervalEdit, "分おき"},
        {d.POPAccountEdit, "POPアカウント"},
        {d.POPPasswordEdit, "POPパスワード"},
        {d.POPServerEdit, "POPサーバ"},
        {d.ProtocolRadio, "プロトコル"},
        {d.SecurityRadio, "暗号化"},
        {d.PortEdit, "ポート"},
        {d.HostEdit, "ホスト名"},
        {d.IntervalEdit, "調整インターバル(分)"},
        {d.MinimalEdit, "msより小さい時刻差の場合は調整しない"},
        {d.VolumeSlider, "おとの大きさ"},
        {d.AutostartCheck, "ログインしたら起動する"},
        {d.FullscreenCheck, "全画面のときは隠れる"}};
    for (const auto& [w, name] : names) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name).toStdString(), name) << w->objectName().toStdString();
    }
    // A combo box's accessible name is its text on X11: its label is its buddy.
    EXPECT_EQ(d.ScaleLabel->buddy(), d.ScaleCombo);
    EXPECT_FALSE(
        QAccessible::queryAccessibleInterface(d.MailNotifyEdit)->text(QAccessible::Name).isEmpty());

    // Every caption fits, and no two controls of a page overlap (a panel holds its controls).
    for (QWidget* page : {d.TabSheet1, d.TabSheet3, d.TabSheet4}) {
        std::vector<QWidget*> controls;
        for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!qobject_cast<QFrame*>(w) || qobject_cast<QLabel*>(w)) {
                controls.push_back(w);
            }
            auto* b = qobject_cast<QPushButton*>(w);
            if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
                const int need =
                    b ? b->fontMetrics().horizontalAdvance(b->text()) + 6 : w->sizeHint().width();
                EXPECT_GE(w->width(), need) << w->objectName().toStdString();
                EXPECT_LE(w->geometry().right(), page->width()) << w->objectName().toStdString();
            }
            EXPECT_LE(w->geometry().bottom(), page->height()) << w->objectName().toStdString();
        }
        for (size_t i = 0; i < controls.size(); ++i) {
            for (size_t k = i + 1; k < controls.size(); ++k) {
                EXPECT_FALSE(controls[i]->geometry().intersects(controls[k]->geometry()))
                    << controls[i]->objectName().toStdString() << " and "
                    << controls[k]->objectName().toStdString();
            }
        }
    }
}

TEST_F(ConfigDialogTest, CreatedWithoutControlsWhichTheFirstFillMakesOnce) {
    dialog_.reset();
    settings_dialog::TCFForm d(
        settings_dialog::ConfigHost{clockLabel_, [] { return QSize(); }, &n8_, [] {}, {}, {}, {}});
    EXPECT_EQ(d.PageControl1, nullptr);
    EXPECT_TRUE(d.findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(d.size(), QSize(340, 417)) << "the window itself is there from the start";
    d.Fill();
    ASSERT_NE(d.PageControl1, nullptr);
    const auto made = d.findChildren<QWidget*>().size();
    d.Fill();
    EXPECT_EQ(d.findChildren<QWidget*>().size(), made);
    EXPECT_EQ(d.PageControl1->count(), 4);
}

TEST_F(ConfigDialogTest, TabOrderRunsDownThePage) {
    auto& d = *dialog_;
    std::vector<QWidget*> order;
    for (QWidget* w = d.PikFileEdit; order.size() < 20; w = w->nextInFocusChain()) {
        if (w->parentWidget() == d.TabSheet1 && (w->focusPolicy() & Qt::TabFocus)) {
            order.push_back(w);
        }
        if (w == d.LogCheckBox) {
            break;
        }
    }
    const std::vector<QWidget*> expected = {
        d.PikFileEdit,     d.MitameOpenButton, d.CalenderCheck,     d.CalSizeCombo, d.ClockCheck,
        d.ClockXEdit,      d.ClockYEdit,       d.ClockCenterButton, d.OclockCheck,  d.VoiceFileEdit,
        d.VoiceOpenButton, d.VoiceTestButton,  d.AlermCheckBox,     d.HourSpinEdit, d.MinSpinEdit,
        d.AlermEdit,       d.AlermButton,      d.AlermTestButton,   d.LogCheckBox};
    EXPECT_EQ(order, expected);
}

TEST_F(ConfigDialogTest, FillTakesSettingsAndTheLabelWhereItWasDragged) {
    core::Settings& s = core::settings();
    s.PikImage = "me.bmp";
    s.VoiceFile = "voice.wav";
    s.ShowTime = false;
    s.ShowCalender = false;
    s.CalSize = 3;
    s.Alerm[0] = {true, "alarm.wav", (7 * 60 + 9) / 1440.0};
    s.isLog = true;
    s.MailCheck = true;
    s.MailInterval = 15;
    s.POPPassword = "pw";
    s.IsAPOP = 1;
    s.isAdjust = true;
    s.NTPhost = "ntp.example";
    s.NTPInterval = 42;
    clockLabel_->move(31, 47); // dragged since the start
    auto& d = shown();
    EXPECT_EQ(d.PikFileEdit->text(), QStringLiteral("me.bmp"));
    EXPECT_FALSE(d.ClockCheck->isChecked());
    EXPECT_EQ(d.ClockXEdit->text(), QStringLiteral("31"));
    EXPECT_EQ(d.ClockYEdit->text(), QStringLiteral("47"));
    EXPECT_EQ(d.CalSizeCombo->currentIndex(), 2);
    EXPECT_TRUE(d.AlermCheckBox->isChecked());
    EXPECT_EQ(d.HourSpinEdit->value(), 7);
    EXPECT_EQ(d.MinSpinEdit->value(), 9);
    EXPECT_EQ(d.MailIntervalEdit->text(), QStringLiteral("15"));
    EXPECT_EQ(d.POPPasswordEdit->text(), QStringLiteral("pw"));
    EXPECT_TRUE(d.ProtocolAPOP->isChecked());
    EXPECT_TRUE(d.NTPCheck->isChecked());
    EXPECT_EQ(d.IntervalEdit->text(), QStringLiteral("42"));

    // Fill again discards what was typed, and keeps the page that was open.
    d.PageControl1->setCurrentIndex(3);
    d.HostEdit->setText(QStringLiteral("typed"));
    d.reject();
    shown();
    EXPECT_EQ(d.HostEdit->text(), QStringLiteral("ntp.example"));
    EXPECT_EQ(d.PageControl1->currentIndex(), 3);
    EXPECT_EQ(saves_, 0);
}

TEST_F(ConfigDialogTest, ImapWithStartTlsOnItsPortShowsAndComesBack) {
    core::Settings& s = core::settings();
    s.MailCheck = true;
    s.MailInterval = 5;
    s.IsAPOP = 1;
    s.MailProtocol = 1;
    s.POPSecurity = 1;
    s.POPPort = 1143;
    auto& d = shown();
    EXPECT_TRUE(d.ProtocolIMAP->isChecked());
    EXPECT_FALSE(d.ProtocolAPOP->isChecked());
    EXPECT_TRUE(d.SecurityStartTls->isChecked());
    EXPECT_EQ(d.PortEdit->text(), QStringLiteral("1143"));
    d.SecurityTls->click();
    d.PortEdit->setText(QStringLiteral("0"));
    d.OKButtonClick();
    EXPECT_EQ(s.MailProtocol, 1);
    EXPECT_EQ(s.IsAPOP, 1);
    EXPECT_EQ(s.POPSecurity, 2);
    EXPECT_EQ(s.POPPort, 0);
    EXPECT_NE(saved_.find("MailProtocol=1\r\nPOPSecurity=2\r\nPOPPort=0\r\n"), std::string::npos);
}

TEST_F(ConfigDialogTest, EnableRules) {
    core::Settings& s = core::settings();
    s.ShowTime = s.ShowCalender = s.OClock = s.MailCheck = s.MailNotify = s.isAdjust = false;
    auto& d = shown();
    auto enabled = [](std::initializer_list<QWidget*> ws) {
        std::string out;
        for (QWidget* w : ws) {
            out += w->isEnabled() ? '1' : '0';
        }
        return out;
    };
    EXPECT_EQ(
        enabled({d.ClockXEdit,      d.ClockYEdit,       d.ClockCenterButton, d.CalSizeCombo,
                 d.VoiceFileEdit,   d.VoiceOpenButton,  d.HourSpinEdit,      d.MinSpinEdit,
                 d.AlermEdit,       d.AlermButton,      d.MailIntervalEdit,  d.POPAccountEdit,
                 d.POPPasswordEdit, d.POPServerEdit,    d.ProtocolRadio,     d.MailNotifyCheck,
                 d.MailNotifyEdit,  d.MailNotifyButton, d.HostEdit,          d.IntervalEdit,
                 d.MinimalEdit}),
        std::string(21, '0'));
    EXPECT_TRUE(d.PikFileEdit->isEnabled());
    EXPECT_TRUE(d.MitameOpenButton->isEnabled());

    for (QCheckBox* c : {d.ClockCheck, d.CalenderCheck, d.OclockCheck, d.AlermCheckBox,
                         d.MailCheckBox, d.NTPCheck}) {
        c->click();
    }
    EXPECT_EQ(
        enabled({d.ClockXEdit, d.ClockYEdit, d.ClockCenterButton, d.CalSizeCombo, d.VoiceFileEdit,
                 d.VoiceOpenButton, d.HourSpinEdit, d.MinSpinEdit, d.AlermEdit, d.AlermButton,
                 d.MailIntervalEdit, d.POPAccountEdit, d.POPPasswordEdit, d.POPServerEdit,
                 d.ProtocolRadio, d.MailNotifyCheck, d.HostEdit, d.IntervalEdit, d.MinimalEdit}),
        std::string(19, '1'));
    EXPECT_EQ(enabled({d.MailNotifyEdit, d.MailNotifyButton}), "00") << "the sound is off";
    d.MailNotifyCheck->click();
    EXPECT_EQ(enabled({d.MailNotifyEdit, d.MailNotifyButton}), "11");
    d.MailCheckBox->click();
    EXPECT_EQ(enabled({d.MailNotifyCheck, d.MailNotifyEdit, d.MailNotifyButton}), "000");
    d.MailCheckBox->click();
    EXPECT_EQ(enabled({d.MailNotifyEdit, d.MailNotifyButton}), "11");
}

TEST_F(ConfigDialogTest, TestButtonsAreEnabledOnlyByTheirPickers) {
    core::Settings& s = core::settings();
    s.OClock = true;
    s.Alerm[0].enabled = true;
    s.MailCheck = s.MailNotify = true;
    s.VoiceFile = "has.wav";
    s.MailNotifyFile = "has.wav";
    auto& d = shown();
    EXPECT_FALSE(d.VoiceTestButton->isEnabled()) << "a file name alone does not enable it";
    EXPECT_FALSE(d.AlermTestButton->isEnabled());
    EXPECT_FALSE(d.NotifyTestButton->isEnabled());

    d.AlermButton->click(); // cancelled
    EXPECT_FALSE(d.AlermTestButton->isEnabled());
    pickResult_ = QStringLiteral("/sounds/ring.wav");
    d.AlermButton->click();
    EXPECT_EQ(d.AlermEdit->text(), QStringLiteral("/sounds/ring.wav"));
    EXPECT_TRUE(d.AlermTestButton->isEnabled());
    EXPECT_FALSE(d.NotifyTestButton->isEnabled());
    d.VoiceOpenButton->click();
    d.MitameOpenButton->click();
    EXPECT_EQ(filters_, (std::vector<std::string>{
                            "おと (*.wav)|*.wav", "おと (*.wav)|*.wav", "こえ (*.wav)|*.wav",
                            "見た目ファイル (*.bmp)|*.bmp|とにかくなんでも (*.*)|*.*"}));
    EXPECT_TRUE(d.VoiceTestButton->isEnabled());
    EXPECT_EQ(d.PikFileEdit->text(), QStringLiteral("/sounds/ring.wav"));

    d.AlermCheckBox->click(); // no check box disables a test button again
    EXPECT_TRUE(d.AlermTestButton->isEnabled());
    d.AlermTestButton->click();
    d.AlermEdit->clear();
    d.AlermTestButton->click(); // an empty field plays nothing
    EXPECT_EQ(sound_.played, std::vector<std::string>{"async /sounds/ring.wav"});

    shown();
    EXPECT_FALSE(d.AlermTestButton->isEnabled()) << "Fill disables them again";
}

TEST_F(ConfigDialogTest, CentreAndSpinFields) {
    core::settings().Alerm[0].enabled = true;
    auto& d = shown();
    d.ClockCenterButton->click();
    EXPECT_EQ(d.ClockXEdit->text(), QStringLiteral("110"));
    EXPECT_EQ(d.ClockYEdit->text(), QStringLiteral("97"));
    EXPECT_EQ(clockLabel_->pos(), QPoint(83, 120)) << "nothing moves before おっけ～";

    QLineEdit* hourText = d.HourSpinEdit->findChild<QLineEdit*>();
    ASSERT_NE(hourText, nullptr);
    hourText->setText(QStringLiteral("57"));
    EXPECT_EQ(hourText->text(), QStringLiteral("57")) << "no key is refused";
    leave(d.HourSpinEdit);
    EXPECT_EQ(d.HourSpinEdit->value(), 23);
    EXPECT_EQ(hourText->text(), QStringLiteral("23"));
    QLineEdit* minText = d.MinSpinEdit->findChild<QLineEdit*>();
    minText->setText(QStringLiteral("xy"));
    EXPECT_EQ(d.MinSpinEdit->currentValue(), 0);
    leave(d.MinSpinEdit);
    EXPECT_EQ(minText->text(), QStringLiteral("0"));
}

TEST_F(ConfigDialogTest, ReturnAfterAnotherButtonStillMeansOk) {
    auto& d = shown();
    clickWithFocus(d.ClockCenterButton);
    pressReturn();
    EXPECT_FALSE(d.isVisible()) << "Return pressed 中央 again";
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(clockLabel_->pos(), QPoint(110, 97));
    EXPECT_EQ(saves_, 1);

    shown();
    clickWithFocus(d.MitameOpenButton); // the picker is cancelled
    pressReturn();
    EXPECT_EQ(filters_.size(), 1u) << "Return opened the picker again";
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(saves_, 2);
}

TEST_F(ConfigDialogTest, ThePasswordShowsAStarForEachCharacter) {
    core::settings().POPPassword = "pw";
    auto& d = shown();
    EXPECT_EQ(d.POPPasswordEdit->displayText(), QStringLiteral("**"));
    d.POPPasswordEdit->setText(QStringLiteral("パス1"));
    EXPECT_EQ(d.POPPasswordEdit->displayText(), QStringLiteral("***"));
    EXPECT_EQ(d.POPPasswordEdit->text(), QStringLiteral("パス1"));
    d.POPAccountEdit->setText(QStringLiteral("me"));
    EXPECT_EQ(d.POPAccountEdit->displayText(), QStringLiteral("me"))
        << "only the password is masked";
}

TEST_F(ConfigDialogTest, OkAppliesAndSavesEverything) {
    mail::TPOPForm pop; // mail checking is off at its creation: no check runs
    core::Settings& s = core::settings();
    s.MailCheck = true;
    s.MailInterval = 5;
    s.ShowCalender = true;
    auto cal = std::make_unique<calendar::TCalForm>();
    pop.MailTimer->start(300000);
    n8_.setEnabled(true);
    auto& d = shown();
    d.ClockXEdit->setText(QStringLiteral("12"));
    d.ClockYEdit->setText(QStringLiteral("+34"));
    d.ClockCheck->click();
    d.CalSizeCombo->setCurrentIndex(0);
    d.MailIntervalEdit->setText(QStringLiteral("0"));
    d.OKButton->click();
    EXPECT_TRUE(errors_.empty()) << errors_.front();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(clockLabel_->pos(), QPoint(12, 34));
    EXPECT_TRUE(clockLabel_->isHidden());
    EXPECT_TRUE(cal->isVisible()) << "shown again in its new size";
    EXPECT_EQ(s.CalSize, 1);
    EXPECT_FALSE(s.MailCheck);
    EXPECT_FALSE(pop.MailTimer->isActive());
    EXPECT_FALSE(n8_.isEnabled());
    EXPECT_EQ(saves_, 1);
    EXPECT_NE(saved_.find("MailCheck=0\r\n"), std::string::npos);
    EXPECT_NE(saved_.find("CalSize=1\r\n"), std::string::npos);
}

TEST_F(ConfigDialogTest, ABadNumberAppliesNothingAndKeepsTheDialogOnIt) {
    core::settings().OClock = true;
    auto& d = shown();
    d.PageControl1->setCurrentIndex(3);
    d.ClockXEdit->setText(QStringLiteral("5"));
    d.ClockYEdit->setText(QStringLiteral("abc"));
    d.OclockCheck->click();
    d.OKButton->click();
    EXPECT_EQ(errors_, std::vector<std::string>{"'abc' は整数ではありません"});
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.PageControl1->currentWidget(), d.TabSheet1);
    EXPECT_EQ(d.focusWidget(), d.ClockYEdit);
    EXPECT_EQ(d.ClockYEdit->selectedText(), QStringLiteral("abc"));
    EXPECT_EQ(clockLabel_->pos(), QPoint(83, 120));
    EXPECT_TRUE(core::settings().OClock);
    EXPECT_EQ(saves_, 0);

    // On the mail page too, and a mended number then goes through.
    d.ClockYEdit->setText(QStringLiteral("6"));
    d.MailIntervalEdit->setText(QStringLiteral("１２"));
    d.OKButton->click();
    EXPECT_EQ(d.PageControl1->currentWidget(), d.TabSheet3);
    EXPECT_EQ(d.focusWidget(), d.MailCheckBox) << "the field is off: its check box switches it on";
    d.MailCheckBox->click();
    d.OKButton->click();
    EXPECT_EQ(d.focusWidget(), d.MailIntervalEdit);
    d.MailIntervalEdit->setText(QStringLiteral("12"));
    d.OKButton->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(clockLabel_->pos(), QPoint(5, 6));
    EXPECT_EQ(saves_, 1);
}

TEST_F(ConfigDialogTest, LoggingOnWritesOneStartLine) {
    auto& d = shown();
    d.LogCheckBox->click();
    d.OKButton->click();
    shown();
    d.OKButton->click(); // still on
    shown();
    d.LogCheckBox->click();
    d.OKButton->click(); // off
    shown();
    d.LogCheckBox->click();
    d.OKButton->click(); // on again
    const std::string log = platform::fromCp932(dir_.read("piklog.txt"));
    EXPECT_EQ(log.find(" PP Logging Started ***\r\n"), log.size() - 25) << log;
    EXPECT_EQ(log.find("Logging"), log.rfind("Logging")) << log;
    EXPECT_TRUE(core::settings().isLog);
}

TEST_F(ConfigDialogTest, ALogThatCannotBeOpenedLeavesLoggingOffAndTheDialogOpen) {
    std::filesystem::create_directory(dir_.file("piklog.txt")); // neither opened nor created
    auto& d = shown();
    d.LogCheckBox->click();
    d.OKButton->click();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], "ファイル piklog.txt は開けません");
    EXPECT_FALSE(core::settings().isLog);
    EXPECT_NE(saved_.find("isLog=0\r\n"), std::string::npos);
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.LogCheckBox->isChecked()) << "the box shows what was saved";

    // おっけ～ again takes the dialog as it now stands: no second message, and it closes.
    d.OKButton->click();
    EXPECT_EQ(errors_.size(), 1u);
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(core::settings().isLog);
}

TEST_F(ConfigDialogTest, SizeChangesAtOnceAndTheClockFieldsStayInDesignLengths) {
    core::settings().ClockX = 83;
    core::settings().ClockY = 120;
    core::settings().CharScale = 125; // from the file: offered as it is
    scale_ = 125;
    clockLabel_->move(104, 150);
    auto& d = shown();
    EXPECT_EQ(d.ScaleCombo->currentText(), QStringLiteral("125 %"));
    EXPECT_EQ(d.ClockXEdit->text(), QStringLiteral("83"));
    EXPECT_EQ(d.ClockYEdit->text(), QStringLiteral("120"));
    d.ScaleCombo->setCurrentIndex(d.ScaleCombo->findText(QStringLiteral("200 %")));
    d.ClockCenterButtonClick();
    EXPECT_EQ(d.ClockXEdit->text(), QStringLiteral("88"))
        << "half of 220 at 125 %, in design lengths";
    d.ClockXEdit->setText(QStringLiteral("83"));
    d.ClockYEdit->setText(QStringLiteral("120"));
    d.OKButtonClick();
    ASSERT_EQ(scales_, std::vector<int>{200});
    EXPECT_EQ(labelAtScaleChange_, QPoint(104, 150)) << "the size changes before the label moves";
    EXPECT_EQ(clockLabel_->pos(), QPoint(166, 240));
    EXPECT_EQ(core::settings().CharScale, 200);
    EXPECT_NE(saved_.find("CharScale=200\r\n"), std::string::npos);
    // The odd size from the file is gone from the choices once another is taken.
    d.Fill();
    EXPECT_EQ(d.ScaleCombo->count(), 4);
    d.OKButtonClick();
    EXPECT_EQ(scales_.size(), 1u) << "the same size again changes nothing";
}

TEST_F(ConfigDialogTest, VolumeAndFullScreenReachTheSettingsAndTheRunningProgram) {
    core::settings().Volume = 40;
    auto& d = shown();
    EXPECT_EQ(d.VolumeSlider->value(), 40);
    EXPECT_FALSE(d.FullscreenCheck->isChecked());
    d.VolumeSlider->setValue(75);
    d.FullscreenCheck->setChecked(true);
    d.OKButtonClick();
    EXPECT_EQ(core::settings().Volume, 75);
    EXPECT_TRUE(core::settings().HideOnFullscreen);
    EXPECT_EQ(soundChanges_, 1);
    EXPECT_NE(saved_.find("Volume=75\r\nHideOnFullscreen=1\r\n"), std::string::npos);
}

TEST_F(ConfigDialogTest, TheAutostartBoxCreatesAndRemovesTheDesktopsEntry) {
    const auto entry = config_ / "autostart" / "nagomi.desktop";
    auto& d = shown();
    EXPECT_FALSE(d.AutostartCheck->isChecked());
    d.AutostartCheck->setChecked(true);
    d.OKButtonClick();
    ASSERT_TRUE(std::filesystem::exists(entry));
    const std::string text = *platform::readFile(entry.string());
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(
        text.find("Exec=\"" + std::filesystem::read_symlink("/proc/self/exe").string() + "\"\n"),
        std::string::npos);
    EXPECT_NE(text.find("Path=" + std::filesystem::current_path().string() + "\n"),
              std::string::npos);
    EXPECT_TRUE(errors_.empty());

    // An entry the user edited stays as it is while the box stays checked.
    ASSERT_TRUE(platform::writeFileAtomic(entry.string(), text + "X-Mine=1\n", 0644));
    d.Fill();
    EXPECT_TRUE(d.AutostartCheck->isChecked());
    d.OKButtonClick();
    EXPECT_NE(platform::readFile(entry.string())->find("X-Mine=1"), std::string::npos);

    d.Fill();
    d.AutostartCheck->setChecked(false);
    d.OKButtonClick();
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_TRUE(errors_.empty());

    // A folder that cannot be made: the box says why, everything else is applied and saved.
    std::filesystem::remove_all(config_);
    ASSERT_TRUE(platform::writeFileAtomic(config_.string(), "a file, not a folder", 0644));
    d.Fill();
    d.AutostartCheck->setChecked(true);
    d.OKButtonClick();
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("nagomi.desktop"), std::string::npos);
    EXPECT_GE(saves_, 4);
}
