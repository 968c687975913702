#include "settings_dialog/SpinEdit.h"

#include "settings_dialog/ConfigCheck.h"

namespace settings_dialog {

int SpinEdit::currentValue() const {
    return valueFromText(cleanText());
}

QValidator::State SpinEdit::validate(QString& input, int&) const {
    const std::optional<int> v = parseDecimal32(input.toStdString());
    // Never refuse a key: what is not yet a number in range is put right on leaving.
    return v && *v >= minimum() && *v <= maximum() && input.trimmed() == input
               ? QValidator::Acceptable
               : QValidator::Intermediate;
}

void SpinEdit::fixup(QString& input) const {
    input = QString::number(spinValue(input.toStdString(), minimum(), maximum()));
}

int SpinEdit::valueFromText(const QString& text) const {
    return spinValue(text.toStdString(), minimum(), maximum());
}

} // namespace settings_dialog
