// Mask generation against the region library X servers use. Baselines in the same run:
// pixman's batch construction from the scan's rectangles (the reference to beat), a bare pass
// that reads every pixel (the floor), and one-at-a-time union (quadratic; small pictures only).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "platform/Bitmap.h"
#include "shape/extMaskgenerator.h"

namespace {

constexpr std::uint32_t kKey = 0x00FF00;

enum Kind { Noise = 0, Figure = 1 };

const platform::Image& picture(int w, int h, Kind kind) {
    static std::map<std::tuple<int, int, int>, platform::Image> cache;
    auto& img = cache[{w, h, kind}];
    if (img.empty()) {
        img.width = w;
        img.height = h;
        img.pixels.resize(static_cast<size_t>(w) * h);
        std::mt19937 rng(42);
        const double cx = w / 2.0, cy = h / 2.0, rx = w * 0.4, ry = h * 0.45;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                bool opaque;
                if (kind == Noise) {
                    opaque = (rng() & 1) != 0;
                } else {
                    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
                    // A smooth figure: an ellipse with a round hole and a wavy edge.
                    const double r = std::sqrt(dx * dx + dy * dy);
                    const double edge = 1.0 + 0.05 * std::sin(8 * std::atan2(dy, dx));
                    opaque = r < edge && std::hypot(dx - 0.3, dy + 0.2) > 0.15;
                }
                img.pixels[static_cast<size_t>(y) * w + x] = opaque ? 0xFF8080 : kKey;
            }
        }
    }
    return img;
}

// The per-row rectangles of the scan, as a region library would be handed them.
std::vector<pixman_box32_t> scanRects(const platform::Image& img) {
    std::vector<pixman_box32_t> boxes;
    for (int y = 0; y < img.height; ++y) {
        int start = 0;
        for (;;) {
            int x = start + 1;
            while (x < img.width && img.pixel(x, y) != kKey) {
                ++x;
            }
            const int end = x >= img.width ? img.width + 1 : x;
            if (end > start + 1) {
                boxes.push_back({start + 1, y, end, y + 1});
            }
            if (end >= img.width - 1) {
                break;
            }
            start = end;
        }
    }
    return boxes;
}

void args(benchmark::internal::Benchmark* b) {
    for (auto [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        for (int kind : {Noise, Figure}) {
            b->Args({w, h, kind});
        }
    }
    b->Unit(benchmark::kMillisecond);
}

void label(benchmark::State& state, size_t rects) {
    state.SetLabel(std::string(state.range(2) == Noise ? "noise" : "figure") + " " +
                   std::to_string(state.range(0)) + "x" + std::to_string(state.range(1)) + ", " +
                   std::to_string(rects) + " rects out");
}

void BM_GenerateMask(benchmark::State& state) {
    const auto& img = picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                              static_cast<Kind>(state.range(2)));
    size_t n = 0;
    for (auto _ : state) {
        shape::Region r = shape::maskRegion(img, kKey);
        n = r.rects().size();
        benchmark::DoNotOptimize(r);
    }
    label(state, n);
}
BENCHMARK(BM_GenerateMask)->Apply(args);

void BM_PixmanBatch(benchmark::State& state) {
    const auto& img = picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                              static_cast<Kind>(state.range(2)));
    const auto boxes = scanRects(img);
    int n = 0;
    for (auto _ : state) {
        pixman_region32_t region;
        pixman_region32_init_rects(&region, boxes.data(), static_cast<int>(boxes.size()));
        n = pixman_region32_n_rects(&region);
        pixman_region32_fini(&region);
    }
    label(state, static_cast<size_t>(n));
}
BENCHMARK(BM_PixmanBatch)->Apply(args);

// The whole alternative pipeline: the scan's rectangles from the pixels, then the batch.
void BM_ScanPlusPixmanBatch(benchmark::State& state) {
    const auto& img = picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                              static_cast<Kind>(state.range(2)));
    int n = 0;
    for (auto _ : state) {
        const auto boxes = scanRects(img);
        pixman_region32_t region;
        pixman_region32_init_rects(&region, boxes.data(), static_cast<int>(boxes.size()));
        n = pixman_region32_n_rects(&region);
        pixman_region32_fini(&region);
    }
    label(state, static_cast<size_t>(n));
}
BENCHMARK(BM_ScanPlusPixmanBatch)->Apply(args);

void BM_PixelPassFloor(benchmark::State& state) {
    const auto& img = picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                              static_cast<Kind>(state.range(2)));
    for (auto _ : state) {
        size_t opaque = 0;
        for (std::uint32_t p : img.pixels) {
            opaque += p != kKey;
        }
        benchmark::DoNotOptimize(opaque);
    }
    label(state, 0);
}
BENCHMARK(BM_PixelPassFloor)->Apply(args);

void BM_UnionOneAtATime(benchmark::State& state) {
    const auto& img =
        picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), Noise);
    const auto boxes = scanRects(img);
    for (auto _ : state) {
        pixman_region32_t region;
        pixman_region32_init(&region);
        for (const auto& b : boxes) {
            pixman_region32_union_rect(&region, &region, b.x1, b.y1,
                                       static_cast<unsigned>(b.x2 - b.x1),
                                       static_cast<unsigned>(b.y2 - b.y1));
        }
        benchmark::DoNotOptimize(pixman_region32_n_rects(&region));
        pixman_region32_fini(&region);
    }
    state.SetLabel("noise " + std::to_string(state.range(0)) + "x" +
                   std::to_string(state.range(1)) + ", " + std::to_string(boxes.size()) +
                   " rects in");
}
BENCHMARK(BM_UnionOneAtATime)
    ->Args({240, 135, 0})
    ->Args({480, 270, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
