#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include "../unit/TempDir.h"
#include "platform/Bitmap.h"
#include "platform/WindowShape.h"
#include "shape/CoolForm.h"
#include "shape/MaskFile.h"

using shape::TCoolForm;

namespace {

shape::Region someRegion() {
    return *shape::Region::fromNormalRects({{1, 0, 5, 2}, {2, 2, 3, 4}});
}

} // namespace

TEST(CoolForm, FillsItsFormAndStaysAtTheCorner) {
    QWidget form;
    form.resize(120, 80);
    TCoolForm cf(&form);
    form.show();
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(cf.geometry(), QRect(0, 0, 120, 80));
    cf.setTop(37);
    cf.setLeft(12);
    cf.move(5, 5);
    EXPECT_EQ(cf.pos(), QPoint(0, 0));
    form.resize(200, 90);
    EXPECT_EQ(cf.size(), QSize(200, 90));
}

TEST(CoolForm, MaskFileShapesTheWindowAndBadFilesChangeNothing) {
    TempDir dir;
    QWidget form;
    form.resize(10, 10);
    TCoolForm cf(&form);
    dir.write("good.msk", shape::encodeMaskFile(someRegion()));
    dir.write("zero.msk", std::string(4, '\0'));
    std::string truncated = shape::encodeMaskFile(someRegion());
    truncated.pop_back();
    dir.write("short.msk", truncated);

    EXPECT_FALSE(cf.LoadMaskFromFile(dir.file("missing.msk")));
    EXPECT_TRUE(form.mask().isEmpty());
    EXPECT_TRUE(cf.LoadMaskFromFile(dir.file("good.msk")));
    const QRegion applied = form.mask();
    EXPECT_EQ(applied, platform::toQRegion(someRegion()));
    QRegion byUnion;
    byUnion += QRect(1, 0, 4, 2);
    byUnion += QRect(2, 2, 1, 2);
    EXPECT_EQ(applied, byUnion);
    ASSERT_NE(cf.Mask(), nullptr);
    EXPECT_TRUE(cf.Mask()->region.has_value());

    EXPECT_FALSE(cf.LoadMaskFromFile(dir.file("short.msk")));
    EXPECT_EQ(form.mask(), applied);
    EXPECT_TRUE(cf.Mask()->region.has_value()) << "a rejected file drops nothing";
    EXPECT_TRUE(cf.LoadMaskFromFile(dir.file("zero.msk")));
    EXPECT_EQ(form.mask(), applied) << "an empty mask keeps the outline";
    EXPECT_FALSE(cf.Mask()->region.has_value());
}

TEST(CoolForm, Mask2StreamRoundTripsAndEmptyIsFourZeroBytes) {
    QWidget form;
    TCoolForm cf(&form);
    EXPECT_EQ(cf.writeMask2(), std::string(4, '\0'));
    EXPECT_TRUE(cf.readMask2(std::string(4, '\0')));
    EXPECT_TRUE(form.mask().isEmpty());
    const std::string stream = shape::encodeMaskFile(someRegion());
    EXPECT_TRUE(cf.readMask2(stream));
    EXPECT_EQ(cf.writeMask2(), stream);
    EXPECT_FALSE(cf.readMask2(stream.substr(0, 10)));
    EXPECT_EQ(cf.writeMask2(), stream);
}

TEST(CoolForm, PictureChangeDropsTheHeldRegionButKeepsTheOutline) {
    QWidget form;
    TCoolForm cf(&form);
    ASSERT_TRUE(cf.readMask2(shape::encodeMaskFile(someRegion())));
    platform::Image img;
    img.width = 2;
    img.height = 1;
    img.pixels = {0x123456, 0xFFFFFF};
    cf.setPicture(img);
    EXPECT_FALSE(cf.Mask()->region.has_value());
    EXPECT_FALSE(form.mask().isEmpty());
    EXPECT_EQ(cf.pixelColor(0, 0), 0x123456);
    EXPECT_EQ(cf.pixelColor(2, 0), -1);
    EXPECT_EQ(cf.writeMask2(), std::string(4, '\0'));
}

TEST(CoolForm, EmptyRegionMakesTheWindowVanish) {
    QWidget form;
    form.resize(10, 10);
    TCoolForm cf(&form);
    ASSERT_TRUE(cf.readMask2(shape::encodeMaskFile(shape::Region{})));
    EXPECT_FALSE(form.mask().isEmpty());
    EXPECT_FALSE(form.mask().intersects(QRect(0, 0, 10, 10)));
}

TEST(CoolForm, OtherButtonsReportDownAndUpAtOnce) {
    QWidget form;
    form.resize(50, 50);
    TCoolForm cf(&form);
    std::vector<std::string> events;
    QObject::connect(&cf, &TCoolForm::MouseDown, [&](Qt::MouseButton b, auto, QPoint p) {
        events.push_back("down " + std::to_string(b) + " " + std::to_string(p.x()));
    });
    QObject::connect(&cf, &TCoolForm::MouseUp, [&](Qt::MouseButton b, auto, QPoint p) {
        events.push_back("up " + std::to_string(b) + " " + std::to_string(p.x()));
    });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(7, 9), QPointF(107, 109), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&cf, &press);
    EXPECT_EQ(events, (std::vector<std::string>{"down 2 7", "up 2 7"}));
}
