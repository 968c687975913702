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

// A title bar with the close box alone. Qt's Motif hints ask for that, and most window managers
// follow them; openbox takes a window's buttons from its type only, so under openbox the window
// is typed a toolbar (a type it decorates without minimise and maximise buttons) before every
// showing, and loses that type again under any other window manager. Does nothing off X11.
void keepCloseBoxOnly(QWidget* window);

// Her own windows stand where she puts them, float, and carry no frame from a tiling window
// manager. i3 tiles every window of the normal type, so under i3 the window is typed a utility
// (a type i3 floats) before every showing and asks for its place again once shown, since i3
// sets a new floating window off by the frame it would have had. wlroots compositors place every
// floating X window in the middle of the screen and ignore later moves, so there the window
// bypasses the window manager altogether and positions itself; it is then drawn above all managed
// windows. Call before the window is first shown. Does nothing off X11 and under other window
// managers.
void keepFloating(QWidget* window);

} // namespace platform
