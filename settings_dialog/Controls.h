#pragma once
// The settings dialog's controls, each made with its name at its design position (pixels inside
// its page), so that the dialog's pages read as their list of controls.
#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QObject;
class QPushButton;
class QStyle;
class QWidget;

namespace settings_dialog::controls {

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// Places a control at its design position. Captions get at least the room they need, so the
// Japanese faces here never cut them.
void place(QWidget* w, int x, int y, int width, int height);

QLabel* label(QWidget* page, const char* name, const char* text, int x, int y);
// A text field; `buddy`, when given, is its label and names it.
QLineEdit* edit(QWidget* page, const char* name, int x, int y, int width, QLabel* buddy);
QPushButton* button(QWidget* page, const char* name, const char* text, int x, int y, int width);
QCheckBox* check(QWidget* page, const char* name, const char* text, int x, int y, int width);
// A panel that groups the controls above it.
QFrame* panel(QWidget* page, const char* name, QFrame::Shadow shadow, int x, int y, int w, int h);

// A style that masks a password with "*" whatever mark the desktop's style would draw. It
// belongs to `owner`, which must outlive the fields that use it.
QStyle* starMaskStyle(QObject* owner);

} // namespace settings_dialog::controls
