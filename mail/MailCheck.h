#pragma once
// TPOPForm: the mail watcher's status window "メール受信状況" and its timer. Created hidden; the
// check runs at creation (when mail checking is on) and on every MailTimer tick.
#include <QFrame>
#include <QPoint>
#include <QWidget>

class QLabel;
class QTimer;

namespace mail {

class TPOPForm : public QWidget {
    Q_OBJECT
public:
    TPOPForm();
    ~TPOPForm() override;

    QFrame* Panel1 = nullptr;
    QLabel* LastModifiedLabel = nullptr;
    QLabel* LastReceivedLabel = nullptr;
    QTimer* MailTimer = nullptr;

    // One check; returns the line to speak.
    std::string CheckMail();
    void MailTimerTimer();
    void FormClick() { hide(); }
    // "最終チェック日時：..." after a check.
    void showLastModified(const std::string& caption);
    // Interval and state from the settings (also after the settings dialog).
    void applyTimerSettings();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    QPoint press_;
    bool moved_ = false;
};

// The one mail window, or null before it exists.
extern TPOPForm* POPForm;

} // namespace mail
