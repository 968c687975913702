#include <gtest/gtest.h>

#include <random>

#include "TempDir.h"
#include "shape/MaskFile.h"
#include "shape/extMaskgenerator.h"

using platform::Image;
using shape::Rect;
using shape::Region;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kRed = 0xFF0000;

// A picture from rows of characters: '.' is `key`, anything else red.
Image picture(const std::vector<std::string>& rows, std::uint32_t key) {
    Image img;
    img.height = static_cast<int>(rows.size());
    img.width = rows.empty() ? 0 : static_cast<int>(rows[0].size());
    for (const auto& r : rows) {
        for (char c : r) {
            img.pixels.push_back(c == '.' ? key : kRed);
        }
    }
    return img;
}

std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) {
        s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    return s;
}

// The mask file bytes for the given rectangles, written out field by field.
std::string maskBytes(const std::vector<Rect>& rects, Rect bound) {
    std::string data = le32(32) + le32(1) + le32(static_cast<std::uint32_t>(rects.size())) +
                       le32(static_cast<std::uint32_t>(16 * rects.size()));
    auto rect = [](const Rect& r) {
        return le32(static_cast<std::uint32_t>(r.left)) + le32(static_cast<std::uint32_t>(r.top)) +
               le32(static_cast<std::uint32_t>(r.right)) +
               le32(static_cast<std::uint32_t>(r.bottom));
    };
    data += rect(bound);
    for (const Rect& r : rects) {
        data += rect(r);
    }
    return le32(static_cast<std::uint32_t>(data.size())) + data;
}

std::string generated(const Image& img, std::uint32_t key) {
    TempDir dir;
    EXPECT_TRUE(shape::GenerateMask(img, key, dir.file("m.msk")));
    return dir.read("m.msk");
}

} // namespace

TEST(GenerateMask, CircleOnWhiteMergesIdenticalRows) {
    const Image img = picture({"...x...", // row 0
                               "..xxx..", // row 1
                               ".xxxxx.", // rows 2 and 3 form one band
                               ".xxxxx.", "..xxx..", "...x..."},
                              kWhite);
    EXPECT_EQ(generated(img, kWhite),
              maskBytes({{3, 0, 4, 1}, {2, 1, 5, 2}, {1, 2, 6, 4}, {2, 4, 5, 5}, {3, 5, 4, 6}},
                        {1, 0, 6, 6}));
}

TEST(GenerateMask, GreenFrameWithAHole) {
    const Image img = picture({"......", //
                               ".xxxx.", ".x..x.", ".xxxx.", "......"},
                              kGreen);
    EXPECT_EQ(generated(img, kGreen),
              maskBytes({{1, 1, 5, 2}, {1, 2, 2, 3}, {4, 2, 5, 3}, {1, 3, 5, 4}}, {1, 1, 5, 4}));
}

TEST(GenerateMask, FirstColumnNeverLastColumnOpaqueReachesOneBeyond) {
    // Wholly opaque: column 0 is left out, column W is added, both rows one band.
    EXPECT_EQ(generated(picture({"xxxx", "xxxx"}, kWhite), kWhite),
              maskBytes({{1, 0, 5, 2}}, {1, 0, 5, 2}));
    const Image img = picture({"....x", //
                               "xxxx.", "...x."},
                              kWhite);
    EXPECT_EQ(generated(img, kWhite),
              maskBytes({{4, 0, 6, 1}, {1, 1, 4, 2}, {3, 2, 4, 3}}, {1, 0, 6, 3}));
}

TEST(GenerateMask, OnePixelWideCoversColumnOneEvenWhenTransparent) {
    EXPECT_EQ(generated(picture({".", "x", "."}, kWhite), kWhite),
              maskBytes({{1, 0, 2, 3}}, {1, 0, 2, 3}));
}

TEST(GenerateMask, AllTransparentGivesAnEmptyRegionFile) {
    const std::string bytes = generated(picture({"...", "...", "..."}, kGreen), kGreen);
    EXPECT_EQ(bytes.size(), 36u);
    EXPECT_EQ(bytes, maskBytes({}, {0, 0, 0, 0}));
}

TEST(GenerateMask, NoRowsOrColumnsWritesNothing) {
    TempDir dir;
    Image none;
    EXPECT_TRUE(shape::GenerateMask(none, kWhite, dir.file("m.msk")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("m.msk")));
}

TEST(GenerateMask, UnwritableDirectoryReportsFailureAndLeavesNoFile) {
    EXPECT_FALSE(shape::GenerateMask(picture({"x"}, kWhite), kWhite, "/nonexistent/dir/m.msk"));
}

TEST(GenerateMask, ServesEventsOncePerRow) {
    int calls = 0;
    shape::maskRegion(picture({"x.", ".x", "xx", ".."}, kWhite), kWhite, [&] { ++calls; });
    EXPECT_EQ(calls, 4);
}

TEST(GenerateMask, MatchesThePixelRuleOnRandomPictures) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        Image img;
        img.width = 1 + static_cast<int>(rng() % 40);
        img.height = 1 + static_cast<int>(rng() % 12);
        const int density = static_cast<int>(rng() % 100);
        for (int i = 0; i < img.width * img.height; ++i) {
            img.pixels.push_back(static_cast<int>(rng() % 100) < density ? kRed : kWhite);
        }
        const Region region = shape::maskRegion(img, kWhite);
        ASSERT_TRUE(Region::fromNormalRects(region.rects())) << "not in normal form";
        for (int y = -1; y <= img.height; ++y) {
            for (int x = -1; x <= img.width + 1; ++x) {
                bool want = false;
                if (y >= 0 && y < img.height) {
                    if (x >= 1 && x < img.width) {
                        want = img.pixel(x, y) != kWhite;
                    } else if (x == img.width) {
                        want = img.width == 1 || img.pixel(img.width - 1, y) != kWhite;
                    }
                }
                ASSERT_EQ(region.contains(x, y), want)
                    << "round " << round << " at " << x << "," << y;
            }
        }
    }
}

TEST(MaskFile, RoundTripKeepsTheRegion) {
    auto region = Region::fromNormalRects({{1, 0, 5, 2}, {0, 2, 3, 3}, {4, 2, 9, 3}});
    ASSERT_TRUE(region);
    const std::string bytes = shape::encodeMaskFile(*region);
    auto back = shape::decodeMask(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, shape::MaskData::Kind::Region);
    EXPECT_EQ(back->region, *region);
    EXPECT_EQ(back->consumed, bytes.size());
    EXPECT_EQ(region->bound(), (Rect{0, 0, 9, 3}));
}

TEST(MaskFile, ZeroLengthMeansNoMask) {
    auto m = shape::decodeMask(std::string(4, '\0'));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, shape::MaskData::Kind::Empty);
}

TEST(MaskFile, MalformedFilesAreRejected) {
    const std::string good = maskBytes({{1, 0, 5, 2}, {2, 2, 3, 4}}, {1, 0, 5, 4});
    ASSERT_TRUE(shape::decodeMask(good));
    auto patched = [&](size_t at, std::uint32_t v) {
        std::string b = good;
        b.replace(at, 4, le32(v));
        return b;
    };
    EXPECT_FALSE(shape::decodeMask(""));
    EXPECT_FALSE(shape::decodeMask("\x05\x00"));
    EXPECT_FALSE(shape::decodeMask(good.substr(0, good.size() - 1))) << "truncated";
    EXPECT_FALSE(shape::decodeMask(patched(0, 0xFFFFFFF0))) << "N beyond the file";
    EXPECT_FALSE(shape::decodeMask(patched(0, 16))) << "N smaller than a header";
    EXPECT_FALSE(shape::decodeMask(patched(4, 31))) << "dwSize";
    EXPECT_FALSE(shape::decodeMask(patched(8, 2))) << "iType";
    EXPECT_FALSE(shape::decodeMask(patched(12, 3))) << "nCount beyond N";
    EXPECT_FALSE(shape::decodeMask(patched(12, 1))) << "N disagrees with nCount";
    EXPECT_FALSE(shape::decodeMask(patched(16, 48))) << "nRgnSize";
    EXPECT_FALSE(shape::decodeMask(patched(12, 0x10000001))) << "count overflow";
    // Trailing bytes beyond N are left alone (a Mask2 stream continues after its mask).
    auto withTail = shape::decodeMask(good + "tail");
    ASSERT_TRUE(withTail);
    EXPECT_EQ(withTail->consumed, good.size());
}

TEST(MaskFile, UnsortedListsAreNormalisedAndHugeOnesRefused) {
    auto m = shape::decodeMask(maskBytes({{5, 5, 15, 15}, {0, 0, 10, 10}}, {}));
    ASSERT_TRUE(m);
    ASSERT_EQ(m->kind, shape::MaskData::Kind::Region);
    EXPECT_EQ(m->region.rects(),
              (std::vector<Rect>{{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}));

    std::vector<Rect> many;
    for (int i = 5000; i > 0; --i) {
        many.push_back({0, i, 2, i + 1});
    }
    auto refused = shape::decodeMask(maskBytes(many, {}));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind, shape::MaskData::Kind::Refused);

    // A comb: 2048 thin columns crossed by 2048 thin rows would normalise into millions of
    // rectangles; it is refused like a long list.
    std::vector<Rect> comb;
    for (int i = 0; i < 2048; ++i) {
        comb.push_back({2 * i, 0, 2 * i + 1, 4096});
        comb.push_back({0, 2 * i, 4096, 2 * i + 1});
    }
    auto combed = shape::decodeMask(maskBytes(comb, {}));
    ASSERT_TRUE(combed);
    EXPECT_EQ(combed->kind, shape::MaskData::Kind::Refused);
}

TEST(Region, NormalFormMergesTouchingAndIdenticalBands) {
    auto r = Region::fromRects({{0, 0, 5, 1}, {5, 0, 9, 1}, {0, 1, 9, 2}, {12, 3, 14, 4}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rects(), (std::vector<Rect>{{0, 0, 9, 2}, {12, 3, 14, 4}}));
    EXPECT_FALSE(Region::fromNormalRects({{0, 0, 5, 1}, {5, 0, 9, 1}})) << "touching";
    EXPECT_FALSE(Region::fromNormalRects({{0, 0, 5, 1}, {0, 1, 5, 2}})) << "unmerged bands";
    EXPECT_FALSE(Region::fromNormalRects({{0, 1, 5, 2}, {0, 0, 5, 1}})) << "unsorted";
    EXPECT_FALSE(Region::fromNormalRects({{3, 0, 3, 1}})) << "empty rectangle";
}
