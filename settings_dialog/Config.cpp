#include "settings_dialog/Config.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include "calendar/CalUnit.h"
#include "core/Settings.h"
#include "mail/MailCheck.h"
#include "platform/AppError.h"
#include "platform/Autostart.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/Sound.h"
#include "platform/X11Window.h"
#include "settings_dialog/Controls.h"
#include "settings_dialog/SpinEdit.h"
#include "timesync/NTPUnit.h"

namespace settings_dialog {

TCFForm* CFForm = nullptr;

using namespace controls;

namespace {

constexpr int kClientWidth = 340;
constexpr int kClientHeight = 417;

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
std::string str(const QString& s) {
    return s.toStdString();
}

// The ports through which Apply reaches the running program.
// The label's place comes in the design's lengths and stands at her size.
class LabelPort : public ClockLabelPort {
public:
    LabelPort(QWidget* label, std::function<int(int)> atSize)
        : label_(label), atSize_(std::move(atSize)) {}
    void setLeft(int x) override { label_->move(atSize_(x), label_->y()); }
    void setTop(int y) override { label_->move(label_->x(), atSize_(y)); }
    void setVisible(bool on) override { label_->setVisible(on); }

private:
    QWidget* label_;
    std::function<int(int)> atSize_;
};

class CalPort : public CalendarPort {
public:
    void hide() override {
        if (calendar::CalForm) {
            calendar::CalForm->hide();
        }
    }
    void show() override {
        if (calendar::CalForm) {
            calendar::CalForm->show();
        }
    }
};

class QtTimerPort : public TimerPort {
public:
    explicit QtTimerPort(QTimer* timer) : timer_(timer) {}
    bool isActive() const override { return timer_->isActive(); }
    int interval() const override { return timer_->interval(); }
    void setActive(bool on) override {
        if (on) {
            timer_->start();
        } else {
            timer_->stop();
        }
    }
    void setInterval(int ms) override { timer_->setInterval(ms); }

private:
    QTimer* timer_;
};

} // namespace

TCFForm::TCFForm(ConfigHost host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      host_(std::move(host)) {
    CFForm = this;
    setObjectName(QStringLiteral("CFForm"));
    setWindowTitle(QStringLiteral("設定する。"));
    QFont f = platform::fontFor("ＭＳ Ｐゴシック", 9);
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(kClientWidth, kClientHeight);
    // A fixed dialog frame: the close box is its only title-bar button.
    platform::keepCloseBoxOnly(this);

    MitameOpenDialog.Filter =
        QStringLiteral("見た目ファイル (*.bmp)|*.bmp|とにかくなんでも (*.*)|*.*");
    VoiceOpenDialog.Filter = QStringLiteral("こえ (*.wav)|*.wav");
    MailNotifyDialog.Filter = QStringLiteral("おと (*.wav)|*.wav");

    picker_ = [this](const OpenDialog& d) -> std::optional<QString> {
        const QString file = QFileDialog::getOpenFileName(
            this, QString(), QString::fromStdString(platform::currentDirectory()),
            qs(pickerFilter(str(d.Filter))));
        if (file.isEmpty()) {
            return std::nullopt;
        }
        return file;
    };
}

// The dialog lives from start to exit but is seldom opened: its controls are made at the first
// showing, so a run that never opens it carries none of them.
void TCFForm::buildControls() {
    if (PageControl1) {
        return;
    }
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->setGeometry(0, 0, kClientWidth, 391);
    PageControl1->setUsesScrollButtons(false);
    // Created page by page, top to bottom and left to right: the tab order is the reading order.
    createBasicPage();
    createClickPage();
    createMailPage();
    createNtpPage();

    CancelButton = named(new QPushButton(QStringLiteral("や～めた"), this), "CancelButton");
    CancelButton->setGeometry(209, 392, 65, 25);
    OKButton = named(new QPushButton(QStringLiteral("おっけ～"), this), "OKButton");
    OKButton->setGeometry(275, 392, 65, 25);
    // Return means "おっけ～" wherever the focus is: a button that took the default when it was
    // clicked would answer Return itself (the second "中央" or another file picker).
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
    }
    OKButton->setDefault(true);

    auto on = [this](auto* sender, auto signal, void (TCFForm::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { platform::guard([this, handler] { (this->*handler)(); }); });
    };
    on(OKButton, &QPushButton::clicked, &TCFForm::OKButtonClick);
    on(CancelButton, &QPushButton::clicked, &TCFForm::CancelButtonClick);
    on(ClockCenterButton, &QPushButton::clicked, &TCFForm::ClockCenterButtonClick);
    on(ClockCheck, &QCheckBox::clicked, &TCFForm::ClockCheckClick);
    on(CalenderCheck, &QCheckBox::clicked, &TCFForm::CalenderCheckClick);
    on(OclockCheck, &QCheckBox::clicked, &TCFForm::OclockCheckClick);
    on(AlermCheckBox, &QCheckBox::clicked, &TCFForm::AlermCheckBoxClick);
    on(MailCheckBox, &QCheckBox::clicked, &TCFForm::MailCheckBoxClick);
    on(MailNotifyCheck, &QCheckBox::clicked, &TCFForm::MailNotifyCheckClick);
    on(NTPCheck, &QCheckBox::clicked, &TCFForm::NTPCheckClick);
    on(MitameOpenButton, &QPushButton::clicked, &TCFForm::MitameOpenButtonClick);
    on(VoiceOpenButton, &QPushButton::clicked, &TCFForm::VoiceOpenButtonClick);
    on(AlermButton, &QPushButton::clicked, &TCFForm::AlermButtonClick);
    on(MailNotifyButton, &QPushButton::clicked, &TCFForm::MailNotifyButtonClick);
    on(VoiceTestButton, &QPushButton::clicked, &TCFForm::VoiceTestButtonClick);
    on(AlermTestButton, &QPushButton::clicked, &TCFForm::AlermTestButtonClick);
    on(NotifyTestButton, &QPushButton::clicked, &TCFForm::NotifyTestButtonClick);
}

TCFForm::~TCFForm() {
    if (CFForm == this) {
        CFForm = nullptr;
    }
}

void TCFForm::createBasicPage() {
    QWidget* p = TabSheet1 = named(new QWidget, "TabSheet1");
    PageControl1->addTab(p, QStringLiteral("きほん"));
    Label1 = label(p, "Label1", "見た目", 8, 24);
    PikFileEdit = edit(p, "PikFileEdit", 48, 20, 249, Label1);
    MitameOpenButton = button(p, "MitameOpenButton", "参照", 297, 21, 33);

    CalenderCheck = check(p, "CalenderCheck", "カレンダーを表示する", 9, 48, 137);
    Label13 =
        label(p, "Label13", "サイズ：", std::max(149, CalenderCheck->geometry().right() + 3), 49);
    CalSizeCombo = named(new QComboBox(p), "CalSizeCombo");
    CalSizeCombo->addItems({QStringLiteral("小さい(9pt)"), QStringLiteral("ふつう(16pt)"),
                            QStringLiteral("大きい(24pt)")});
    place(CalSizeCombo, std::max(192, Label13->geometry().right() + 3), 44, 98, 20);
    Label13->setBuddy(CalSizeCombo);

    ClockCheck = check(p, "ClockCheck", "時計を表示する", 9, 68, 105);
    Label16 = label(p, "Label16", "X", 157, 70);
    ClockXEdit = edit(p, "ClockXEdit", 168, 66, 49, Label16);
    Label17 = label(p, "Label17", "Y", 230, 70);
    ClockYEdit = edit(p, "ClockYEdit", 240, 66, 49, Label17);
    ClockCenterButton = button(p, "ClockCenterButton", "中央", 298, 67, 30);

    Panel2 = panel(p, "Panel2", QFrame::Sunken, 4, 91, 326, 89);
    OclockCheck = check(p, "OclockCheck", "時報をのたまう", 9, 96, 97);
    Label2 = label(p, "Label2", "こえ", 18, 124);
    VoiceFileEdit = edit(p, "VoiceFileEdit", 47, 120, 245, Label2);
    VoiceOpenButton = button(p, "VoiceOpenButton", "参照", 294, 121, 33);
    VoiceTestButton = button(p, "VoiceTestButton", "テスト再生", 267, 144, 60);

    Panel3 = panel(p, "Panel3", QFrame::Sunken, 4, 184, 326, 121);
    AlermCheckBox = check(p, "AlermCheckBox", "アラームを鳴らす", 10, 189, 113);
    QFont big = font();
    big.setPixelSize(16);
    HourSpinEdit = named(new SpinEdit(p), "HourSpinEdit");
    HourSpinEdit->setFont(big);
    HourSpinEdit->setRange(0, 23);
    HourSpinEdit->setGeometry(176, 208, 49, 28); // room for two digits at 16 pixels
    Label3 = label(p, "Label3", "時", 228, 217);
    Label3->setFont(big);
    Label3->adjustSize();
    Label3->setBuddy(HourSpinEdit);
    MinSpinEdit = named(new SpinEdit(p), "MinSpinEdit");
    MinSpinEdit->setFont(big);
    MinSpinEdit->setRange(0, 59);
    MinSpinEdit->setGeometry(248, 208, 49, 28);
    Label4 = label(p, "Label4", "分", 300, 217);
    Label4->setFont(big);
    Label4->adjustSize();
    Label4->setBuddy(MinSpinEdit);
    Label10 = label(p, "Label10", "おと", 20, 253);
    AlermEdit = edit(p, "AlermEdit", 49, 249, 244, Label10);
    AlermButton = button(p, "AlermButton", "参照", 294, 250, 33);
    AlermTestButton = button(p, "AlermTestButton", "テスト再生", 267, 273, 60);

    LogCheckBox = check(p, "LogCheckBox", "台詞ログを保存する", 12, 312, 125);
    createDesktopRows(p);
}

void TCFForm::createClickPage() {
    QWidget* p = TabSheet2 = named(new QWidget, "TabSheet2");
    PageControl1->addTab(p, QStringLiteral("クリック"));
    Label15 = named(new QLabel(QStringLiteral("現在未実装！！"), p), "Label15");
    QFont big = font();
    big.setPixelSize(32);
    Label15->setFont(big);
    Label15->move(56, 272);
    Label15->adjustSize();
}

void TCFForm::createNtpPage() {
    QWidget* p = TabSheet4 = named(new QWidget, "TabSheet4");
    PageControl1->addTab(p, QStringLiteral("時刻調整"));
    NTPCheck = check(p, "NTPCheck", "SNTPによる時刻調整を行う", 18, 19, 177);
    Label11 = label(p, "Label11", "ホスト名", 23, 61);
    HostEdit = edit(p, "HostEdit", 72, 56, 241, Label11);
    Label12 = label(p, "Label12", "調整インターバル(分)", 128, 104);
    Label12->move(std::min(128, 240 - 3 - Label12->width()), 104); // ends before its field
    IntervalEdit = edit(p, "IntervalEdit", 240, 96, 73, Label12);
    MinimalEdit = edit(p, "MinimalEdit", 72, 122, 33, nullptr);
    Label14 = label(p, "Label14", "msより小さい時刻差の場合は調整しない", 112, 129);
    Label14->setBuddy(MinimalEdit);
}

int TCFForm::ShowModal() {
    Fill();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    return exec();
}

void TCFForm::Fill() {
    buildControls();
    const core::Settings& s = core::settings();
    PikFileEdit->setText(qs(s.PikImage));
    VoiceFileEdit->setText(qs(s.VoiceFile));

    ClockCheck->setChecked(s.ShowTime);
    // Where the label stands now: the user may have dragged it since the start.
    const QPoint at = host_.clockLabel ? host_.clockLabel->pos() : QPoint(s.ClockX, s.ClockY);
    ClockXEdit->setText(QString::number(host_.clockLabel ? labelToDesign(at.x()) : at.x()));
    ClockYEdit->setText(QString::number(host_.clockLabel ? labelToDesign(at.y()) : at.y()));
    ClockCheckClick();

    CalenderCheck->setChecked(s.ShowCalender);
    CalSizeCombo->setCurrentIndex(s.CalSize >= 1 && s.CalSize <= 3 ? s.CalSize - 1 : -1);
    CalenderCheckClick();

    OclockCheck->setChecked(s.OClock);
    OclockCheckClick();
    VoiceTestButton->setEnabled(false);

    const core::AlarmSetting& alarm = s.Alerm[0];
    AlermCheckBox->setChecked(alarm.enabled);
    int hour = 0;
    int minute = 0;
    splitTimeOfDay(alarm.time, hour, minute);
    HourSpinEdit->setValue(hour);
    MinSpinEdit->setValue(minute);
    AlermEdit->setText(qs(alarm.voice));
    AlermTestButton->setEnabled(false);
    AlermCheckBoxClick();

    LogCheckBox->setChecked(s.isLog);
    fillDesktopRows(s);

    fillMailPage(s);

    NTPCheck->setChecked(s.isAdjust);
    HostEdit->setText(qs(s.NTPhost));
    IntervalEdit->setText(QString::number(s.NTPInterval));
    MinimalEdit->setText(QString::number(s.NTPMinimalDifference));
    NTPCheckClick();

    // The page last open stays open; the keyboard starts at its first control.
    if (QWidget* page = PageControl1->currentWidget()) {
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (w->focusPolicy() & Qt::TabFocus && w->isEnabled()) {
                w->setFocus();
                break;
            }
        }
    }
}

ConfigValues TCFForm::values() const {
    ConfigValues v;
    v.PikFile = str(PikFileEdit->text());
    v.VoiceFile = str(VoiceFileEdit->text());
    v.ShowTime = ClockCheck->isChecked();
    v.ClockX = str(ClockXEdit->text());
    v.ClockY = str(ClockYEdit->text());
    v.ShowCalender = CalenderCheck->isChecked();
    v.CalSizeIndex = CalSizeCombo->currentIndex();
    v.OClock = OclockCheck->isChecked();
    v.AlermEnabled = AlermCheckBox->isChecked();
    v.AlermHour = HourSpinEdit->currentValue();
    v.AlermMinute = MinSpinEdit->currentValue();
    v.AlermVoice = str(AlermEdit->text());
    v.isLog = LogCheckBox->isChecked();
    v.MailCheck = MailCheckBox->isChecked();
    v.MailInterval = str(MailIntervalEdit->text());
    v.POPAccount = str(POPAccountEdit->text());
    v.POPPassword = str(POPPasswordEdit->text());
    v.POPServer = str(POPServerEdit->text());
    v.Protocol = ProtocolGroup->checkedId();
    v.Security = SecurityGroup->checkedId();
    v.POPPort = str(PortEdit->text());
    v.MailNotify = MailNotifyCheck->isChecked();
    v.MailNotifyFile = str(MailNotifyEdit->text());
    v.isAdjust = NTPCheck->isChecked();
    v.NTPhost = str(HostEdit->text());
    v.NTPInterval = str(IntervalEdit->text());
    v.NTPMinimalDifference = str(MinimalEdit->text());
    readDesktopRows(v);
    return v;
}

QLineEdit* TCFForm::fieldOf(IntField field) const {
    switch (field) {
    case IntField::ClockX:
        return ClockXEdit;
    case IntField::ClockY:
        return ClockYEdit;
    case IntField::MailInterval:
        return MailIntervalEdit;
    case IntField::POPPort:
        return PortEdit;
    case IntField::NTPInterval:
        return IntervalEdit;
    case IntField::NTPMinimalDifference:
        return MinimalEdit;
    }
    return ClockXEdit;
}

void TCFForm::OKButtonClick() {
    LabelPort label(host_.clockLabel, [this](int v) { return designToLabel(v); });
    CalPort cal;
    RealLog log;
    std::optional<QtTimerPort> mailTimer;
    if (mail::POPForm && mail::POPForm->MailTimer) {
        mailTimer.emplace(mail::POPForm->MailTimer);
    }
    std::optional<QtTimerPort> ntpTimer;
    if (timesync::NTPForm && timesync::NTPForm->NTPTimer) {
        ntpTimer.emplace(timesync::NTPForm->NTPTimer);
    }
    ApplyTargets targets;
    targets.clockLabel = host_.clockLabel ? &label : nullptr;
    targets.calendar = &cal;
    targets.log = &log;
    targets.mailTimer = mailTimer ? &*mailTimer : nullptr;
    targets.ntpTimer = ntpTimer ? &*ntpTimer : nullptr;
    if (host_.mailMenuItem) {
        targets.setMailMenuEnabled = [item = host_.mailMenuItem](bool on) { item->setEnabled(on); };
    }
    targets.save = host_.storeIniFile;
    targets.setScale = host_.setScale;
    targets.soundChanged = host_.soundChanged;
    targets.setAutostart = [](bool on) { return platform::setAutostart(on); };

    const ApplyResult result = applyConfig(values(), core::settings(), targets);
    if (result.invalid) {
        // Nothing has changed: the user mends the number where it stands and tries again.
        QLineEdit* field = fieldOf(result.invalid->field);
        PageControl1->setCurrentWidget(field->parentWidget());
        platform::showErrorBox(platform::msgNotInteger(result.invalid->text));
        field->selectAll();
        // A field switched off by its check box cannot take the focus: the box that switches
        // it on takes it instead.
        if (field->isEnabled()) {
            field->setFocus();
        } else {
            (field == MailIntervalEdit || field == PortEdit ? MailCheckBox
             : field == ClockXEdit || field == ClockYEdit   ? ClockCheck
                                                            : NTPCheck)
                ->setFocus();
        }
        return;
    }
    // A log that could not be opened switched logging off: the box says so before the message.
    LogCheckBox->setChecked(core::settings().isLog);
    for (const std::string& message : result.errors) {
        platform::showErrorBox(message);
    }
    if (result.errors.empty()) {
        accept();
    }
}

void TCFForm::ClockCenterButtonClick() {
    const QSize size = host_.clientSize ? host_.clientSize() : QSize();
    // The label's corner goes to the centre; its own size is not taken off.
    ClockXEdit->setText(QString::number(labelToDesign(size.width()) / 2));
    ClockYEdit->setText(QString::number(labelToDesign(size.height()) / 2));
}

void TCFForm::ClockCheckClick() {
    const bool on = ClockCheck->isChecked();
    ClockXEdit->setEnabled(on);
    ClockYEdit->setEnabled(on);
    ClockCenterButton->setEnabled(on);
}

void TCFForm::CalenderCheckClick() {
    CalSizeCombo->setEnabled(CalenderCheck->isChecked());
}

void TCFForm::OclockCheckClick() {
    const bool on = OclockCheck->isChecked();
    VoiceFileEdit->setEnabled(on);
    VoiceOpenButton->setEnabled(on);
}

void TCFForm::AlermCheckBoxClick() {
    const bool on = AlermCheckBox->isChecked();
    HourSpinEdit->setEnabled(on);
    MinSpinEdit->setEnabled(on);
    AlermEdit->setEnabled(on);
    AlermButton->setEnabled(on);
}

void TCFForm::MailNotifyCheckClick() {
    const bool on = MailNotifyCheck->isChecked();
    MailNotifyEdit->setEnabled(on);
    MailNotifyButton->setEnabled(on);
}

void TCFForm::NTPCheckClick() {
    const bool on = NTPCheck->isChecked();
    HostEdit->setEnabled(on);
    IntervalEdit->setEnabled(on);
    MinimalEdit->setEnabled(on);
}

std::optional<QString> TCFForm::pick(const OpenDialog& picker) {
    return picker_ ? picker_(picker) : std::nullopt;
}

void TCFForm::MitameOpenButtonClick() {
    if (auto file = pick(MitameOpenDialog)) {
        PikFileEdit->setText(*file);
    }
}

void TCFForm::VoiceOpenButtonClick() {
    if (auto file = pick(VoiceOpenDialog)) {
        VoiceFileEdit->setText(*file);
        VoiceTestButton->setEnabled(true);
    }
}

void TCFForm::AlermButtonClick() {
    // The alarm's sound comes through the mail sound's picker.
    if (auto file = pick(MailNotifyDialog)) {
        AlermEdit->setText(*file);
        AlermTestButton->setEnabled(true);
    }
}

void TCFForm::MailNotifyButtonClick() {
    if (auto file = pick(MailNotifyDialog)) {
        MailNotifyEdit->setText(*file);
        NotifyTestButton->setEnabled(true);
    }
}

void TCFForm::playTest(const QLineEdit* field) {
    if (!field->text().isEmpty()) {
        platform::sound().playAsync(str(field->text()));
    }
}

void TCFForm::VoiceTestButtonClick() {
    playTest(VoiceFileEdit);
}
void TCFForm::AlermTestButtonClick() {
    playTest(AlermEdit);
}
void TCFForm::NotifyTestButtonClick() {
    playTest(MailNotifyEdit);
}

} // namespace settings_dialog
