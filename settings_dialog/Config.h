#pragma once
// TCFForm: the modal settings dialog "設定する。". Created hidden at start, lives until exit.
#include <QDialog>

namespace settings_dialog {

class TCFForm : public QDialog {
    Q_OBJECT
public:
    explicit TCFForm(QWidget* parent = nullptr);
    ~TCFForm() override;
};

// The one settings dialog, or null before it exists.
extern TCFForm* CFForm;

} // namespace settings_dialog
