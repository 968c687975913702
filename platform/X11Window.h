#pragma once
// The few window-manager hints Qt has no API for.
class QWidget;

namespace platform {

// No task-bar button (and no pager entry) for this top-level window. Does nothing off X11.
void setSkipTaskbar(QWidget* window);

} // namespace platform
