#pragma once
// Windows that come back where the user can reach them.
#include <QPoint>
#include <functional>

class QWidget;

namespace platform {

// Before every showing of `window`: when no part of it would be on any screen, it moves to
// `home` on the primary screen (see offScreenRecovery) and `moved` learns the new position.
void keepOnScreen(QWidget* window, QPoint home, std::function<void(QPoint)> moved = {});

} // namespace platform
