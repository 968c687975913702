#pragma once
// TCalForm: the month calendar, a small always-on-top tool window. Created once at start; every
// showing lays it out for CalSize and returns to the current month.
#include <QWidget>
#include <array>

#include "calendar/MonthGrid.h"

class QAction;
class QLabel;
class QMenu;

namespace platform {
class Clock;
}

namespace calendar {

class TCalForm : public QWidget {
    Q_OBJECT
public:
    explicit TCalForm(QWidget* parent = nullptr);
    ~TCalForm() override;

    QLabel* Image1 = nullptr; // back.bmp, stretched over the client area
    QLabel* Label1 = nullptr; // the month title
    std::array<QLabel*, 7> Headings{};
    std::array<QLabel*, 42> Days{};

    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr; // とじる
    QMenu* N6 = nullptr;   // サイズ...
    QAction* N9pt1 = nullptr;
    QAction* N16pt1 = nullptr;
    QAction* N24pt1 = nullptr;
    QAction* N2 = nullptr; // separator
    QAction* N3 = nullptr; // << 先月
    QAction* N5 = nullptr; // - 今月 -
    QAction* N4 = nullptr; // 来月 >>

    void N1Click();
    void N3Click();
    // "- 今月 -": the current month.
    void N5Click();
    void N4Click();
    void N9pt1Click() { setSize(1); }
    void N16pt1Click() { setSize(2); }
    void N24pt1Click() { setSize(3); }

    // Sizes the window for CalSize and returns to the current month.
    void Layout();
    void DrawMonth(int year, int month);

    YearMonth shownMonth() const { return shown_; }
    const MonthGrid& grid() const { return grid_; }
    // True when back.bmp could not be used and the background is plain.
    bool isPlain() const { return plain_; }
    // Where "today" comes from; tests put a fixed clock here.
    void setClock(const platform::Clock* clock);

    void setVisible(bool visible) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void createMenu();
    void loadBackground();
    void FormCreate();
    void setSize(int calSize);
    platform::LocalTime today() const;

    const platform::Clock* clock_;
    YearMonth shown_;
    MonthGrid grid_;
    bool plain_ = true;
};

// The one calendar window, or null before it exists.
extern TCalForm* CalForm;

// Brings the calendar to the current month and shows it, when it exists (the change of day).
void showCurrentMonth();

} // namespace calendar
