#pragma once
// TLogForm: the window that shows the last 50 lines of the dialogue log on request.
#include <QWidget>

class QPlainTextEdit;

namespace balloon {

constexpr int kLogWindowLines = 50;

class TLogForm : public QWidget {
    Q_OBJECT
public:
    TLogForm();
    ~TLogForm() override;

    QPlainTextEdit* LogMemo = nullptr;

    // Refreshes the pane from the log file and shows the window. Without a read handle (logging
    // was off at start) it does nothing at all.
    void UpdateLog();
    bool hasReadHandle() const { return fd_ >= 0; }
    void closeReadHandle();

private:
    void FormCreate();
    int fd_ = -1;
};

// The one log window, or null before it exists.
extern TLogForm* LogForm;

} // namespace balloon
