#include "shape/CoolForm.h"

#include <QEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include "platform/Files.h"
#include "platform/MoveLoop.h"
#include "platform/WindowShape.h"
#include "shape/MaskFile.h"

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

void TCoolForm::setPicture(platform::Image picture) {
    picture_ = std::move(picture);
    delete image_;
    image_ = nullptr;
    if (!picture_.empty()) {
        image_ = new QImage(picture_.width, picture_.height, QImage::Format_RGB32);
        for (int y = 0; y < picture_.height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image_->scanLine(y));
            for (int x = 0; x < picture_.width; ++x) {
                line[x] = 0xFF000000u | picture_.pixel(x, y);
            }
        }
    }
    pictureChanged();
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
