#pragma once
// A spin field that takes any typing: a text that is no number reads as 0, and a number outside
// the range becomes the nearer bound when the user leaves the field.
#include <QSpinBox>

namespace settings_dialog {

class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;
    // The value the text stands for now, even before the field is left.
    int currentValue() const;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    int valueFromText(const QString& text) const override;
};

} // namespace settings_dialog
