#pragma once
// Giving a top-level window the outline of a region: the X bounding shape, which also limits
// where the window takes mouse input, so no compositor is needed.
#include <QRegion>

#include "shape/Region.h"

class QWidget;

namespace platform {

QRegion toQRegion(const shape::Region& region);
void setWindowShape(QWidget* window, const shape::Region& region);

} // namespace platform
