#pragma once
// TCoolForm: the picture control that fills a borderless window, shows its bitmap, gives the
// window the outline of a mask and lets the user drag the window by the picture.
#include <QPoint>
#include <QRegion>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Bitmap.h"
#include "platform/Region.h"

class QImage;
class QMenu;

namespace shape {

// Regions are the ground floor's; the window shapes here are made of them.
using platform::Rect;
using platform::Region;
using platform::RegionBuilder;

class TCoolForm;

// The outline cache of a picture at a scale other than 100: "pik.bmp.msk" at 200 is
// "pik.bmp.200.msk". The file of 100 keeps its own name.
std::string scaledMaskName(const std::string& maskFile, int percent);

// The picture at `percent`, smoothly scaled, with the pixels of `transparent` cut away before
// scaling: a pixel is hers when at least half of it came from her, and then it has her colours
// alone; every other pixel is `transparent`. Her own pixels never take the transparent colour.
platform::Image scalePicture(const platform::Image& picture, std::uint32_t transparent,
                             int percent);

// Holder of the current region (or none) and of the component that owns it.
struct TRegionType {
    std::optional<Region> region;
    TCoolForm* owner = nullptr;
};

class TCoolForm : public QWidget {
    Q_OBJECT
public:
    explicit TCoolForm(QWidget* form);
    ~TCoolForm() override;

    // Loads the picture file (AppError on failure); the held region is dropped.
    void loadPicture(const std::string& path);
    void setPicture(platform::Image picture);
    const platform::Image& picture() const { return picture_; }
    // The colour at (x, y) as 0x00RRGGBB, or -1 outside the picture.
    long long pixelColor(int x, int y) const;

    // Shows the picture at `percent` of its size and gives the window the outline of what is
    // shown. At 100 that is the mask file `maskFile`, made from the picture when missing. At
    // another scale the picture is scaled smoothly with `transparent` cut away first (so no
    // colour bleeds from it into her edge), and the outline is the scaled picture's, cached in
    // its own file beside `maskFile` (scaledMaskName) and made again when missing or unreadable.
    // A scale whose picture would be too large to hold is lowered to the largest that is not.
    void showAtScale(int percent, std::uint32_t transparent, const std::string& maskFile,
                     const std::function<void()>& eachRow = {});
    int scale() const { return scale_; }
    // What is shown: the picture at the scale, pixels outside her in the transparent colour.
    const platform::Image& shownPicture() const { return scale_ == 100 ? picture_ : scaled_; }

    // Loads a mask file and applies it. False when the file is missing, unreadable or
    // malformed; the outline is then unchanged.
    bool LoadMaskFromFile(const std::string& fileName);

    // The stored Mask2 stream: N, then N bytes of region data; four zero bytes for no mask.
    // readMask2 returns false for a malformed stream, which changes nothing.
    bool readMask2(std::string_view stream);
    std::string writeMask2() const;

    TRegionType* Mask() const { return holder_; }
    void setMaskHolder(TRegionType* holder);

    // The control always sits at the window's top-left corner.
    void setTop(int) { move(x(), 0); }
    void setLeft(int) { move(0, y()); }

    // The menu a right press opens (after the press has been reported).
    void setPopupMenu(QMenu* menu) { popupMenu_ = menu; }

    // Form designers never apply masks; the running program always does.
    void setDesigning(bool designing) { designing_ = designing; }

signals:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void applyMask();
    bool takeMaskData(std::string_view bytes);
    void pictureChanged();

    void makeImage();

    platform::Image picture_;
    platform::Image scaled_; // the picture at scale_, when that is not 100
    int scale_ = 100;
    QImage* image_ = nullptr;
    TRegionType* holder_;
    std::string rawMask_; // the region data last read
    // The outline last applied to the window; it outlives a picture change, as the shape does.
    QRegion outline_;
    bool hasOutline_ = false;
    bool designing_ = false;
    QMenu* popupMenu_ = nullptr;
};

} // namespace shape
