// Loudness of a raw recording (signed 16-bit little-endian stereo, 44100 Hz) in 50 ms windows:
// audio_probe FILE START_MS prints "MS RMS" per window, MS on the wall clock given the
// recording's start.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: audio_probe FILE START_MS\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const long long start = std::atoll(argv[2]);
    constexpr int kFrames = 44100 / 20;
    std::vector<std::int16_t> buf(kFrames * 2);
    for (long long w = 0;; ++w) {
        in.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(buf.size() * 2));
        const auto got = static_cast<size_t>(in.gcount()) / 2;
        if (got == 0) {
            break;
        }
        double sum = 0;
        for (size_t i = 0; i < got; ++i) {
            sum += static_cast<double>(buf[i]) * buf[i];
        }
        std::printf("%lld %.0f\n", start + w * 50, std::sqrt(sum / static_cast<double>(got)));
    }
    return 0;
}
