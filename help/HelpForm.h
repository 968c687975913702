#pragma once
// THelpPanel: the help panel "解説とたわごと", modeless, created hidden at start.
#include <QDialog>

namespace help {

class THelpPanel : public QDialog {
    Q_OBJECT
public:
    explicit THelpPanel(QWidget* parent = nullptr);
    ~THelpPanel() override;
};

// The one help panel, or null before it exists.
extern THelpPanel* HelpForm;

} // namespace help
