#include "help/HelpForm.h"

namespace help {

THelpPanel* HelpForm = nullptr;

THelpPanel::THelpPanel(QWidget* parent) : QDialog(parent) {
    HelpForm = this;
}

THelpPanel::~THelpPanel() {
    if (HelpForm == this) {
        HelpForm = nullptr;
    }
}

} // namespace help
