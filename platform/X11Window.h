#pragma once
// The few window-manager hints Qt has no API for.
class QWidget;

namespace platform {

// No task-bar button and no pager entry for this top-level window. Window managers ignore
// requests about windows that are not mapped and drop the state of a window that is withdrawn,
// so the state is written as a property while the window is unmapped (Qt keeps it when it maps
// the window) and requested when the window is already mapped. Does nothing off X11.
void setSkipTaskbar(QWidget* window);

// setSkipTaskbar now and before every later showing of the window.
void keepOffTaskbar(QWidget* window);

} // namespace platform
