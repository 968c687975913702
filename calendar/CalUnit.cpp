#include "calendar/CalUnit.h"

namespace calendar {

TCalForm* CalForm = nullptr;

TCalForm::TCalForm(QWidget* parent) : QWidget(parent) { CalForm = this; }

TCalForm::~TCalForm() {
    if (CalForm == this) {
        CalForm = nullptr;
    }
}

void TCalForm::N5Click() {}

} // namespace calendar
