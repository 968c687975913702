#pragma once
// TPOPForm: the mail watcher's status window "メール受信状況" and its timer. Created hidden; a
// check starts once the program runs (when mail checking is on) and on every MailTimer tick, and
// runs beside the user interface, never holding it.
#include <QFrame>
#include <QPoint>
#include <QWidget>

class QLabel;
class QTimer;

namespace mail {

class CheckRunner;
struct CheckOutcome;

class TPOPForm : public QWidget {
    Q_OBJECT
public:
    TPOPForm();
    ~TPOPForm() override;

    QFrame* Panel1 = nullptr;
    QLabel* LastModifiedLabel = nullptr;
    QLabel* LastReceivedLabel = nullptr;
    QTimer* MailTimer = nullptr;

    // Starts a check unless one is running; what it learns is applied when it is over.
    void MailTimerTimer();
    bool checking() const;
    void FormClick() { hide(); }
    // "最終チェック日時：..." after a check.
    void showLastModified(const std::string& caption);
    // Interval and state from the settings (also after the settings dialog).
    void applyTimerSettings();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void applyOutcome(CheckOutcome& o);
    void showReceived(int count, const std::string& caption);
    CheckRunner* runner_ = nullptr;
    QPoint press_;
    bool moved_ = false;
};

// The one mail window, or null before it exists.
extern TPOPForm* POPForm;

} // namespace mail
