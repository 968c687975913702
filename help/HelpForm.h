#pragma once
// THelpPanel: the help panel "解説とたわごと", modeless, created hidden at start. It shows the
// help text (help.rtf) or the version history (Version.txt) from StartDir.
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

class QLabel;
class QPushButton;
class QTextEdit;

namespace help {

class THelpPanel : public QDialog {
    Q_OBJECT
public:
    explicit THelpPanel(QWidget* parent = nullptr);
    ~THelpPanel() override;

    QLabel* Label1 = nullptr; // the product's name, a link to its page
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* Button1 = nullptr; // とじる
    QPushButton* Button2 = nullptr; // 履歴 / ヘルプ
    QTextEdit* Memo1 = nullptr;

    // Shows the panel and brings it to the front. The first time it stands beside `character`
    // (a window's frame, in desktop coordinates), on that window's screen; later it stays where
    // the user left it.
    void showBeside(const QRect& character);

    void Button1Click() { hide(); }
    void Button2Click();
    void Label1Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    // Loads the file into Memo1 when it exists; a missing file changes nothing.
    void loadHelp();
    void loadHistory();
    bool placed_ = false;
};

// The one help panel, or null before it exists.
extern THelpPanel* HelpForm;

// Where a window of outer size `frame` stands beside `avoid` (to the right or left, whichever has
// room; else below or above) inside `area`, `gap` pixels apart. Where none has room, on the side
// with the most, kept inside `area`.
QPoint besidePosition(const QSize& frame, const QRect& avoid, const QRect& area, int gap = 8);

// The line that ends the pane when the file was too long to show whole.
extern const char* const kCutNotice;

} // namespace help
