// Her size: what showing her at a new size costs the first time (the picture scaled, its
// outline made and encoded for the cache) against every later time (the cache read back), on
// the default character picture.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

#include "platform/Bitmap.h"
#include "shape/CoolForm.h"
#include "shape/MaskFile.h"
#include "shape/extMaskgenerator.h"

namespace {

const platform::Image& character() {
    static const platform::Image img = [] {
        std::ifstream in(NAGOMI_DATA_DIR "/pikprsn.bmp", std::ios::binary);
        return platform::decodeBitmap(std::string(std::istreambuf_iterator<char>(in), {}))
            .value_or(platform::Image{});
    }();
    return img;
}

void BM_FirstShowingAtScale(benchmark::State& state) {
    const platform::Image& pic = character();
    const std::uint32_t key = pic.pixel(0, 0);
    for (auto _ : state) {
        const platform::Image big = shape::scalePicture(pic, key, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(shape::encodeMaskFile(shape::maskRegion(big, key)));
    }
}
BENCHMARK(BM_FirstShowingAtScale)
    ->Arg(150)
    ->Arg(200)
    ->Arg(300)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond);

void BM_CachedOutlineAtScale(benchmark::State& state) {
    const platform::Image& pic = character();
    const std::uint32_t key = pic.pixel(0, 0);
    const shape::Region outline =
        shape::maskRegion(shape::scalePicture(pic, key, static_cast<int>(state.range(0))), key);
    const std::string file = shape::encodeMaskFile(outline);
    for (auto _ : state) {
        benchmark::DoNotOptimize(shape::decodeMask(file));
    }
    state.counters["bytes"] = static_cast<double>(file.size());
    state.counters["rects"] = static_cast<double>(outline.rects().size());
    state.counters["height"] = outline.bound().bottom - outline.bound().top;
}
BENCHMARK(BM_CachedOutlineAtScale)
    ->Arg(150)
    ->Arg(200)
    ->Arg(300)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
