#include "platform/WindowShape.h"

#include <QRect>
#include <QWidget>
#include <vector>

namespace platform {

QRegion toQRegion(const shape::Region& region) {
    // The rectangles are already banded the way Qt and the X server keep them, so the list can
    // be taken as it stands; uniting them one by one would be quadratic for noisy pictures.
    std::vector<QRect> rects;
    rects.reserve(region.rects().size());
    for (const shape::Rect& r : region.rects()) {
        rects.emplace_back(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    }
    QRegion q;
    if (!rects.empty()) {
        q.setRects(rects.data(), static_cast<int>(rects.size()));
    }
    return q;
}

void setWindowShape(QWidget* window, const shape::Region& region) {
    if (region.empty()) {
        // An empty mask means "no mask" to Qt; a window whose outline is empty must vanish, so
        // give it a one-pixel shape outside its area.
        window->setMask(QRegion(-1, -1, 1, 1));
        return;
    }
    window->setMask(toQRegion(region));
}

} // namespace platform
