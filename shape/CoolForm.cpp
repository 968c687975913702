#include "shape/CoolForm.h"

#include <QEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include "platform/Coordinates.h"
#include "platform/Files.h"
#include "platform/MoveLoop.h"
#include "platform/WindowShape.h"
#include "shape/MaskFile.h"
#include "shape/extMaskgenerator.h"

#include <algorithm>
#include <cstdio>

namespace shape {

TCoolForm::TCoolForm(QWidget* form) : QWidget(form), holder_(new TRegionType) {
    holder_->owner = this;
    if (form) {
        // A form that carries the picture has no frame or caption of its own. Its background
        // can be seen through (an ARGB visual, chosen before the window exists), so a
        // compositor that ignores the X shape still shows nothing outside the outline.
        if (form->isWindow()) {
            form->setWindowFlag(Qt::FramelessWindowHint, true);
            if (!form->testAttribute(Qt::WA_WState_Created)) {
                form->setAttribute(Qt::WA_TranslucentBackground);
            }
        }
        form->installEventFilter(this);
        setGeometry(0, 0, form->width(), form->height());
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TCoolForm::~TCoolForm() {
    delete image_;
    delete holder_;
}

void TCoolForm::loadPicture(const std::string& path) {
    setPicture(platform::loadPictureFile(path));
}

std::string scaledMaskName(const std::string& maskFile, int percent) {
    if (percent == 100) {
        return maskFile;
    }
    const std::string suffix = ".msk";
    const bool hasSuffix = maskFile.ends_with(suffix);
    const std::string stem =
        hasSuffix ? maskFile.substr(0, maskFile.size() - suffix.size()) : maskFile;
    return stem + "." + std::to_string(percent) + suffix;
}

platform::Image scalePicture(const platform::Image& picture, std::uint32_t transparent,
                             int percent) {
    platform::Image out;
    if (picture.empty()) {
        return out;
    }
    const int w = std::max(1, platform::atScale(picture.width, percent));
    const int h = std::max(1, platform::atScale(picture.height, percent));
    QImage keyed(picture.width, picture.height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < picture.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t px = picture.pixel(x, y);
            line[x] = px == transparent ? 0u : (0xFF000000u | px);
        }
    }
    const QImage scaled = keyed.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
    out.width = w;
    out.height = h;
    out.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            std::uint32_t px = transparent;
            if (qAlpha(line[x]) >= 128) {
                px = line[x] & 0x00FFFFFFu;
                if (px == transparent) {
                    px ^= 1u; // one step off in blue: still her colour, never a hole in her
                }
            }
            out.pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                px;
        }
    }
    return out;
}

void TCoolForm::setPicture(platform::Image picture) {
    picture_ = std::move(picture);
    scaled_ = {};
    scale_ = 100;
    makeImage();
    pictureChanged();
}

void TCoolForm::makeImage() {
    delete image_;
    image_ = nullptr;
    const platform::Image& shown = shownPicture();
    if (!shown.empty()) {
        image_ = new QImage(shown.width, shown.height, QImage::Format_RGB32);
        for (int y = 0; y < shown.height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image_->scanLine(y));
            for (int x = 0; x < shown.width; ++x) {
                line[x] = 0xFF000000u | shown.pixel(x, y);
            }
        }
    }
}

void TCoolForm::showAtScale(int percent, std::uint32_t transparent, const std::string& maskFile,
                            const std::function<void()>& eachRow) {
    percent = std::clamp(percent, 1, 1000);
    // Lowered until the scaled picture fits what a picture may be and what X can show.
    const std::int64_t pixels = std::int64_t{picture_.width} * picture_.height;
    while (percent > 100 &&
           (pixels * percent * percent / 10000 > platform::kMaxBitmapPixels ||
            std::int64_t{std::max(picture_.width, picture_.height)} * percent / 100 > 16000)) {
        percent = std::max(100, percent - 50);
    }
    scale_ = percent;
    scaled_ = percent == 100 ? platform::Image{} : scalePicture(picture_, transparent, percent);
    makeImage();
    update();
    if (percent == 100) {
        if (!platform::fileExists(maskFile)) {
            if (!GenerateMask(picture_, transparent, maskFile, eachRow)) {
                std::fprintf(stderr, "なごみ: mask file %s could not be written\n",
                             maskFile.c_str());
            }
        }
        LoadMaskFromFile(maskFile);
        return;
    }
    // The cache at this scale, or the outline made now (and kept for the next time). The window
    // never keeps the outline of another size: a cache that cannot be written costs only time.
    const std::string cache = scaledMaskName(maskFile, percent);
    if (platform::fileExists(cache) && LoadMaskFromFile(cache)) {
        return;
    }
    const Region region = maskRegion(scaled_, transparent, eachRow);
    const std::string bytes = encodeMaskFile(region);
    if (!platform::writeFileAtomic(cache, bytes, 0644)) {
        std::fprintf(stderr, "なごみ: mask file %s could not be written\n", cache.c_str());
    }
    readMask2(bytes);
}

void TCoolForm::pictureChanged() {
    // The held region no longer belongs to this picture; the window keeps its outline.
    holder_->region.reset();
}

long long TCoolForm::pixelColor(int x, int y) const {
    if (x < 0 || y < 0 || x >= picture_.width || y >= picture_.height) {
        return -1;
    }
    return picture_.pixel(x, y);
}

bool TCoolForm::takeMaskData(std::string_view bytes) {
    auto data = decodeMask(bytes);
    if (!data) {
        return false;
    }
    if (data->kind == MaskData::Kind::Empty) {
        holder_->region.reset();
        return true;
    }
    rawMask_.assign(bytes.substr(4, data->consumed - 4));
    if (data->kind == MaskData::Kind::Refused) {
        holder_->region.reset();
        return true;
    }
    holder_->region = std::move(data->region);
    applyMask();
    return true;
}

bool TCoolForm::LoadMaskFromFile(const std::string& fileName) {
    auto bytes = platform::readFile(fileName, std::size_t{128} << 20);
    if (!bytes) {
        return false;
    }
    return takeMaskData(*bytes);
}

bool TCoolForm::readMask2(std::string_view stream) {
    return takeMaskData(stream);
}

std::string TCoolForm::writeMask2() const {
    if (!holder_->region) {
        return std::string(4, '\0');
    }
    return encodeMaskFile(*holder_->region);
}

void TCoolForm::setMaskHolder(TRegionType* holder) {
    if (!holder || holder == holder_) {
        return;
    }
    delete holder_;
    holder_ = holder;
    holder_->owner = this;
}

void TCoolForm::applyMask() {
    if (designing_ || !holder_->region) {
        return;
    }
    if (QWidget* w = window()) {
        platform::setWindowShape(w, *holder_->region);
        outline_ = platform::toQRegion(*holder_->region);
        hasOutline_ = true;
        update();
    }
}

void TCoolForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (hasOutline_ && window()->testAttribute(Qt::WA_TranslucentBackground)) {
        // Outside the outline: fully transparent, for compositors that ignore the shape.
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setClipRegion(outline_.translated(-pos()));
    }
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (image_) {
        p.drawImage(0, 0, *image_);
    }
}

void TCoolForm::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    const Qt::KeyboardModifiers shift = event->modifiers();
    const QPoint pos = event->position().toPoint();
    const QPoint global = event->globalPosition().toPoint();
    QPointer<TCoolForm> self(this);
    emit MouseDown(button, shift, pos);
    if (!self) {
        return;
    }
    if (button == Qt::LeftButton) {
        QWidget* w = window();
        // The window's origin from the press itself: pos() can be stale right after mapping.
        const QPoint origin = global - mapTo(w, pos);
        platform::runMoveLoop(w, global, origin);
        if (!self) {
            return;
        }
    }
    emit MouseUp(button, shift, pos);
    if (self && button == Qt::RightButton && popupMenu_) {
        popupMenu_->popup(global);
    }
}

void TCoolForm::mouseDoubleClickEvent(QMouseEvent* event) {
    // A second press comes as a double-click; it is a press like any other.
    mousePressEvent(event);
}

bool TCoolForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) {
        auto* form = static_cast<QWidget*>(watched);
        setGeometry(0, 0, form->width(), form->height());
    }
    return QWidget::eventFilter(watched, event);
}

void TCoolForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (pos() != QPoint(0, 0)) {
        move(0, 0);
    }
}

} // namespace shape
