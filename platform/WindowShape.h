#pragma once
// Giving a top-level window the outline of a region: the X bounding shape, which also limits
// where the window takes mouse input, so no compositor is needed.
#include <QRegion>

#include "platform/Region.h"
#include "platform/ShapeRequests.h"

class QWidget;

namespace platform {

QRegion toQRegion(const Region& region);
// Sets the window's outline. An outline too large for one request to the X server goes in
// pieces; if the server refuses even those, the window stays rectangular (a line on stderr).
void setWindowShape(QWidget* window, const Region& region);

} // namespace platform
