#include <gtest/gtest.h>

#include "TempDir.h"
#include "platform/AppError.h"
#include "platform/Bitmap.h"

using platform::decodeBitmap;
using platform::Image;

namespace {

void put16(std::string& b, size_t at, std::uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A bitmap file with a 40-byte header, the given palette and raw pixel rows (already padded).
std::string bmp(int w, int h, int bpp, const std::vector<std::uint32_t>& palette,
                const std::string& rows, std::uint32_t compression = 0) {
    const size_t extra = compression == 3 ? 12 : 0;
    const size_t off = 54 + extra + palette.size() * 4;
    std::string b(off, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(off + rows.size()));
    put32(b, 10, static_cast<std::uint32_t>(off));
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(w));
    put32(b, 22, static_cast<std::uint32_t>(h));
    put16(b, 26, 1);
    put16(b, 28, static_cast<std::uint32_t>(bpp));
    put32(b, 30, compression);
    put32(b, 46, static_cast<std::uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i) {
        put32(b, 54 + extra + i * 4, palette[i]);
    }
    return b + rows;
}

} // namespace

TEST(Bitmap, TwentyFourBitRoundTripsBottomUp) {
    Image img;
    img.width = 3;
    img.height = 2;
    img.pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x000001};
    const std::string file = platform::encodeBitmap24(img);
    EXPECT_EQ(file.size(), 54u + 2 * 12); // rows padded to 4 bytes
    // Bottom row first: (0,1) is the first pixel stored, blue first.
    EXPECT_EQ(file.substr(54, 3), "\xCC\xBB\xAA");
    auto back = decodeBitmap(file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, img.pixels);
}

TEST(Bitmap, PalettedAndTopDownPictures) {
    // 1 bit, 9 pixels wide: two bytes of bits padded to four; top-down (negative height).
    std::string rows = std::string("\xA5\x80\0\0", 4) + std::string("\x00\x00\0\0", 4);
    std::string file = bmp(9, 2, 1, {0x000000, 0xFF0000}, rows);
    put32(file, 22, static_cast<std::uint32_t>(-2));
    auto img = decodeBitmap(file);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(img->pixel(1, 0), 0u);
    EXPECT_EQ(img->pixel(2, 0), 0xFF0000u);
    EXPECT_EQ(img->pixel(8, 0), 0xFF0000u);
    EXPECT_EQ(img->pixel(8, 1), 0u);

    // 8 bit with an index past the palette: black, not a read past the table.
    auto img8 = decodeBitmap(bmp(2, 1, 8, {0x00FF00}, std::string("\x00\x07\0\0", 4)));
    ASSERT_TRUE(img8);
    EXPECT_EQ(img8->pixel(0, 0), 0x00FF00u);
    EXPECT_EQ(img8->pixel(1, 0), 0u);
}

TEST(Bitmap, BitFieldPixels) {
    std::string file = bmp(1, 1, 16, {}, std::string("\x1F\x00\0\0", 4), 3);
    put32(file, 54, 0xF800);
    put32(file, 58, 0x07E0);
    put32(file, 62, 0x001F);
    auto img = decodeBitmap(file);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixel(0, 0), 0x0000FFu); // 5-bit blue at full scale
}

TEST(Bitmap, RunLengthPicturesDecodeBottomUpWithEscapes) {
    const std::uint32_t c0 = 0x101010, c1 = 0xFF0000, c2 = 0x00FF00, c3 = 0x0000FF;
    // 8 bits, 4 x 3. Bottom row: a run of 6 cut at the row's end. Middle row: an absolute run
    // of 3 (padded to 4 bytes), x = 3 never written. Top row: a delta of 2 to the right, a run
    // of 2, then the end of the bitmap.
    const std::string rle8("\x06\x01\x00\x00"
                           "\x00\x03\x02\x03\x02\x00"
                           "\x00\x00"
                           "\x00\x02\x02\x00\x02\x03"
                           "\x00\x01",
                           20);
    auto img = decodeBitmap(bmp(4, 3, 8, {c0, c1, c2, c3}, rle8, 1));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, (std::vector<std::uint32_t>{c0, c0, c3, c3, //
                                                       c2, c3, c2, c0, //
                                                       c1, c1, c1, c1}));

    // 4 bits, 6 x 2. Bottom row: a run of 5 alternating the two nibbles. Top row: an absolute
    // run of 5 (3 bytes, padded to 4), then a run of 1; the data ends without the end escape.
    const std::string rle4("\x05\x12\x00\x00"
                           "\x00\x05\x31\x23\x10\x00"
                           "\x01\x20",
                           12);
    img = decodeBitmap(bmp(6, 2, 4, {c0, c1, c2, c3}, rle4, 2));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, (std::vector<std::uint32_t>{c3, c1, c2, c3, c1, c2, //
                                                       c1, c2, c1, c2, c1, c0}));

    // A delta past the top and runs far past the row's end touch nothing outside the picture.
    img =
        decodeBitmap(bmp(2, 2, 8, {c0, c1}, std::string("\xFF\x01\x00\x02\xFF\x09\x05\x01", 8), 1));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, (std::vector<std::uint32_t>{c0, c0, c1, c1}));
}

TEST(Bitmap, BrokenRunLengthPicturesAreRejected) {
    const std::vector<std::uint32_t> pal{0, 0xFFFFFF};
    const std::string ok("\x02\x01\x00\x01", 4);
    ASSERT_TRUE(decodeBitmap(bmp(2, 1, 8, pal, ok, 1)));
    EXPECT_FALSE(decodeBitmap(bmp(2, 1, 8, pal, std::string("\x00\x04\x01\x01\x01", 5), 1)))
        << "absolute run past the data";
    EXPECT_FALSE(decodeBitmap(bmp(4, 1, 4, pal, std::string("\x00\x03\x11", 3), 2)))
        << "absolute run without its padding";
    EXPECT_FALSE(decodeBitmap(bmp(2, 1, 8, pal, std::string("\x00\x02\x01", 3), 1)))
        << "delta cut short";
    EXPECT_FALSE(decodeBitmap(bmp(2, 1, 4, pal, ok, 1))) << "RLE8 needs 8 bits";
    EXPECT_FALSE(decodeBitmap(bmp(2, 1, 8, pal, ok, 2))) << "RLE4 needs 4 bits";
    std::string topDown = bmp(2, 1, 8, pal, ok, 1);
    put32(topDown, 22, static_cast<std::uint32_t>(-1));
    EXPECT_FALSE(decodeBitmap(topDown)) << "run-length is bottom-up only";
}

TEST(Bitmap, BrokenFilesAreRejected) {
    const std::string good = bmp(2, 2, 24, {}, std::string(16, '\x10'));
    ASSERT_TRUE(decodeBitmap(good));
    EXPECT_FALSE(decodeBitmap(""));
    EXPECT_FALSE(decodeBitmap("BM"));
    EXPECT_FALSE(decodeBitmap(good.substr(0, good.size() - 1))) << "truncated pixels";
    std::string b = good;
    b[0] = 'X';
    EXPECT_FALSE(decodeBitmap(b)) << "signature";
    b = good;
    put32(b, 18, 100000);
    put32(b, 22, 100000);
    EXPECT_FALSE(decodeBitmap(b)) << "absurd size";
    b = good;
    put32(b, 18, 0);
    EXPECT_FALSE(decodeBitmap(b)) << "no columns";
    b = good;
    put32(b, 10, 0xFFFFFFF0);
    EXPECT_FALSE(decodeBitmap(b)) << "pixel offset past the end";
    b = good;
    put32(b, 30, 1);
    EXPECT_FALSE(decodeBitmap(b)) << "run-length of 24 bits";
    b = good;
    put16(b, 28, 7);
    EXPECT_FALSE(decodeBitmap(b)) << "bit depth";
    b = bmp(2, 1, 8, {}, std::string(4, '\0'));
    put32(b, 46, 1000);
    EXPECT_FALSE(decodeBitmap(b)) << "palette past the end";
}

TEST(Bitmap, PictureFilesReportTheUsersMessages) {
    TempDir dir;
    auto message = [](const std::string& path) {
        try {
            platform::loadPictureFile(path);
        } catch (const platform::AppError& e) {
            return std::string(e.what());
        }
        return std::string("loaded");
    };
    dir.write("bad.bmp", "BMnot really");
    dir.write("good.BMP", bmp(1, 1, 24, {}, std::string(4, '\0')));
    EXPECT_EQ(message(dir.file("missing.bmp")),
              "ファイル " + dir.file("missing.bmp") + " は開けません");
    EXPECT_EQ(message(dir.file("bad.bmp")), "ファイル " + dir.file("bad.bmp") + " は開けません");
    EXPECT_EQ(message(dir.file("x.png")), "拡張子 .png の画像形式は処理できません");
    EXPECT_EQ(message(dir.file("x.ico")), "ビットマップを持っている時のみイメージの変更が可能です");
    EXPECT_EQ(message(dir.file("good.BMP")), "loaded");
}
