#pragma once
// TCalForm: the month calendar, a small always-on-top tool window. Created once at start; every
// showing lays it out for CalSize and returns to the current month.
#include <QWidget>

namespace calendar {

class TCalForm : public QWidget {
    Q_OBJECT
public:
    explicit TCalForm(QWidget* parent = nullptr);
    ~TCalForm() override;

    // "- 今月 -": the current month.
    void N5Click();
};

// The one calendar window, or null before it exists.
extern TCalForm* CalForm;

} // namespace calendar
