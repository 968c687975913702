#include "settings_dialog/Config.h"

namespace settings_dialog {

TCFForm* CFForm = nullptr;

TCFForm::TCFForm(QWidget* parent) : QDialog(parent) { CFForm = this; }

TCFForm::~TCFForm() {
    if (CFForm == this) {
        CFForm = nullptr;
    }
}

} // namespace settings_dialog
