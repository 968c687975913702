#pragma once
// TCFForm: the modal settings dialog "設定する。". Created hidden at start, lives until exit; each
// showing fills it from Settings and the live clock label, "おっけ～" applies and saves.
#include <QDialog>
#include <QSize>
#include <functional>
#include <optional>

#include "settings_dialog/ConfigCheck.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QWidget;

namespace settings_dialog {

class SpinEdit;

// What the dialog needs of the character window, handed in by whoever creates both.
struct ConfigHost {
    QWidget* clockLabel = nullptr;      // ClockLabel: its place and visibility
    std::function<QSize()> clientSize;  // the character window's client size
    QAction* mailMenuItem = nullptr;    // N8 "メール確認..."
    std::function<void()> storeIniFile; // StoreIniFile; throws AppError when it cannot write
    std::function<int()> scale;         // her size in percent as shown (100 when null)
    std::function<void(int)> setScale;  // shows her at another size at once
    std::function<void()> soundChanged; // applies Quiet, Volume and HideOnFullscreen
};

// A file picker of the dialog: never shown by itself, only through its button.
struct OpenDialog {
    QString Filter; // "description|pattern|..."
};

class TCFForm : public QDialog {
    Q_OBJECT
public:
    explicit TCFForm(ConfigHost host, QWidget* parent = nullptr);
    ~TCFForm() override;

    // Fill, then run modally until the dialog closes.
    int ShowModal();
    // Makes the controls (once) and fills them.
    void Fill();
    // The controls are made at the first Fill; this makes them now.
    void buildControls();

    // Asks for a file with the picker's filter; nullopt when the user cancels. Tests put their
    // own in place of the file dialog.
    using FilePicker = std::function<std::optional<QString>(const OpenDialog& picker)>;
    void setFilePicker(FilePicker picker) { picker_ = std::move(picker); }

    void OKButtonClick();
    void CancelButtonClick() { reject(); }
    void ClockCenterButtonClick();
    void ClockCheckClick();
    void CalenderCheckClick();
    void OclockCheckClick();
    void AlermCheckBoxClick();
    void MailCheckBoxClick();
    void MailNotifyCheckClick();
    void NTPCheckClick();
    void MitameOpenButtonClick();
    void VoiceOpenButtonClick();
    void AlermButtonClick();
    void MailNotifyButtonClick();
    void VoiceTestButtonClick();
    void AlermTestButtonClick();
    void NotifyTestButtonClick();

    // What the controls hold now.
    ConfigValues values() const;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // きほん
    QWidget* TabSheet2 = nullptr; // クリック
    QWidget* TabSheet3 = nullptr; // め～る
    QWidget* TabSheet4 = nullptr; // 時刻調整

    QLabel* Label1 = nullptr;
    QLineEdit* PikFileEdit = nullptr;
    QPushButton* MitameOpenButton = nullptr;
    QCheckBox* CalenderCheck = nullptr;
    QLabel* Label13 = nullptr;
    QComboBox* CalSizeCombo = nullptr;
    QCheckBox* ClockCheck = nullptr;
    QLabel* Label16 = nullptr;
    QLineEdit* ClockXEdit = nullptr;
    QLabel* Label17 = nullptr;
    QLineEdit* ClockYEdit = nullptr;
    QPushButton* ClockCenterButton = nullptr;
    QFrame* Panel2 = nullptr;
    QCheckBox* OclockCheck = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* VoiceFileEdit = nullptr;
    QPushButton* VoiceOpenButton = nullptr;
    QPushButton* VoiceTestButton = nullptr;
    QFrame* Panel3 = nullptr;
    QCheckBox* AlermCheckBox = nullptr;
    SpinEdit* HourSpinEdit = nullptr;
    QLabel* Label3 = nullptr;
    SpinEdit* MinSpinEdit = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* AlermEdit = nullptr;
    QPushButton* AlermButton = nullptr;
    QPushButton* AlermTestButton = nullptr;
    QCheckBox* LogCheckBox = nullptr;
    QLabel* ScaleLabel = nullptr; // 大きさ
    QComboBox* ScaleCombo = nullptr;
    QCheckBox* AutostartCheck = nullptr;
    QCheckBox* FullscreenCheck = nullptr;
    QLabel* VolumeLabel = nullptr; // おとの大きさ
    QSlider* VolumeSlider = nullptr;

    QLabel* Label15 = nullptr;

    QCheckBox* MailCheckBox = nullptr;
    QLineEdit* MailIntervalEdit = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* POPAccountEdit = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* POPPasswordEdit = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* POPServerEdit = nullptr;
    QLabel* Label9 = nullptr;
    QWidget* ProtocolRadio = nullptr;
    QButtonGroup* ProtocolGroup = nullptr;
    QRadioButton* ProtocolPOP = nullptr;
    QRadioButton* ProtocolAPOP = nullptr;
    QRadioButton* ProtocolIMAP = nullptr;
    QLabel* SecurityLabel = nullptr; // 暗号化
    QWidget* SecurityRadio = nullptr;
    QButtonGroup* SecurityGroup = nullptr;
    QRadioButton* SecurityNone = nullptr;
    QRadioButton* SecurityStartTls = nullptr;
    QRadioButton* SecurityTls = nullptr;
    QLabel* PortLabel = nullptr; // ポート
    QLineEdit* PortEdit = nullptr;
    QLabel* PortNote = nullptr;
    QCheckBox* MailNotifyCheck = nullptr;
    QLineEdit* MailNotifyEdit = nullptr;
    QPushButton* MailNotifyButton = nullptr;
    QPushButton* NotifyTestButton = nullptr;

    QCheckBox* NTPCheck = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* HostEdit = nullptr;
    QLabel* Label12 = nullptr;
    QLineEdit* IntervalEdit = nullptr;
    QLineEdit* MinimalEdit = nullptr;
    QLabel* Label14 = nullptr;

    QPushButton* CancelButton = nullptr;
    QPushButton* OKButton = nullptr;

    OpenDialog MitameOpenDialog;
    OpenDialog VoiceOpenDialog;
    OpenDialog MailNotifyDialog;

private:
    void createBasicPage();
    // Her size, starting with the desktop, sound volume and hiding at full screen.
    void createDesktopRows(QWidget* page);
    void fillDesktopRows(const core::Settings& s);
    void readDesktopRows(ConfigValues& v) const;
    // The clock label's place in the design's lengths, whatever her size.
    int labelToDesign(int v) const;
    int designToLabel(int v) const;
    void createClickPage();
    void createMailPage();
    void fillMailPage(const core::Settings& s);
    void createNtpPage();
    QLineEdit* fieldOf(IntField field) const;
    std::optional<QString> pick(const OpenDialog& picker);
    void playTest(const QLineEdit* field);

    ConfigHost host_;
    FilePicker picker_;
};

// The one settings dialog, or null before it exists.
extern TCFForm* CFForm;

} // namespace settings_dialog
