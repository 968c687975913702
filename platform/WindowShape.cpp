#include "platform/WindowShape.h"

#include <QGuiApplication>
#include <QRect>
#include <QWidget>
#include <cstdio>
#include <vector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace platform {
namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    return x11->connection();
}

// Sends the outline in requests the server accepts: the first piece sets the shape, the others
// unite with it. False when the server refused a piece.
bool shapeInPieces(xcb_connection_t* c, xcb_window_t window, const Region& region,
                   size_t perRequest) {
    std::vector<xcb_rectangle_t> rects;
    std::vector<xcb_void_cookie_t> cookies;
    forEachShapePiece(region, perRequest, [&](const std::vector<ShapeRect>& piece, bool first) {
        rects.clear();
        for (const ShapeRect& r : piece) {
            rects.push_back(xcb_rectangle_t{r.x, r.y, r.width, r.height});
        }
        cookies.push_back(xcb_shape_rectangles_checked(
            c, first ? XCB_SHAPE_SO_SET : XCB_SHAPE_SO_UNION, XCB_SHAPE_SK_BOUNDING,
            XCB_CLIP_ORDERING_YX_BANDED, window, 0, 0, static_cast<std::uint32_t>(rects.size()),
            rects.data()));
    });
    bool ok = true;
    for (xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* e = xcb_request_check(c, cookie)) {
            std::free(e);
            ok = false;
        }
    }
    return ok;
}

} // namespace

QRegion toQRegion(const Region& region) {
    // The rectangles are already banded the way Qt and the X server keep them, so the list can
    // be taken as it stands; uniting them one by one would be quadratic for noisy pictures.
    std::vector<QRect> rects;
    rects.reserve(region.rects().size());
    for (const Rect& r : region.rects()) {
        rects.emplace_back(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    }
    QRegion q;
    if (!rects.empty()) {
        q.setRects(rects.data(), static_cast<int>(rects.size()));
    }
    return q;
}

void setWindowShape(QWidget* window, const Region& region) {
    if (region.empty()) {
        // An empty mask means "no mask" to Qt; a window whose outline is empty must vanish, so
        // give it a one-pixel shape outside its area.
        window->setMask(QRegion(-1, -1, 1, 1));
        return;
    }
    if (xcb_connection_t* c = x11Connection()) {
        const size_t perRequest = shapeRectsPerRequest(xcb_get_maximum_request_length(c));
        if (region.rects().size() > perRequest) {
            // Too large for one request (Qt would send it whole, breaking the connection or
            // leaving the outline empty): in pieces.
            window->clearMask();
            const auto id = static_cast<xcb_window_t>(window->winId());
            if (!shapeInPieces(c, id, region, perRequest)) {
                xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, id, 0, 0, XCB_NONE);
                xcb_flush(c);
                std::fprintf(stderr,
                             "なごみ: the display refused an outline of %zu rectangles; "
                             "the window stays rectangular\n",
                             region.rects().size());
            }
            return;
        }
    }
    window->setMask(toQRegion(region));
}

} // namespace platform
