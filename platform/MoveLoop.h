#pragma once
// The interactive move of a window by the mouse: grab the pointer, let the window follow it and
// run a nested event loop until the button is released. It works with and without a window
// manager, and timers keep running meanwhile.
#include <QPoint>

class QWidget;

namespace platform {

// `pressGlobal` is the pointer's screen position at the press, `windowOrigin` the window's
// screen position at that moment (take it from the press event, not from QWidget::pos()).
void runMoveLoop(QWidget* window, QPoint pressGlobal, QPoint windowOrigin);

} // namespace platform
