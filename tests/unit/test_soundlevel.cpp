#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "platform/SoundLevel.h"

namespace {

std::vector<std::uint8_t> bytesOf(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> b(samples.size() * 2);
    std::memcpy(b.data(), samples.data(), b.size());
    return b;
}

std::vector<std::int16_t> scaled(const std::vector<std::int16_t>& samples, int percent) {
    std::vector<std::uint8_t> b = bytesOf(samples);
    platform::scaleSamples(b.data(), b.size(), percent);
    std::vector<std::int16_t> out(samples.size());
    std::memcpy(out.data(), b.data(), b.size());
    return out;
}

const std::vector<std::int16_t> kEdges = {0, 1, -1, 3, -3, 1000, -1000, 32767, -32768};

} // namespace

TEST(SoundLevel, FullVolumeIsBitExactAndBeyondItNothingIsLouder) {
    EXPECT_EQ(scaled(kEdges, 100), kEdges);
    EXPECT_EQ(scaled(kEdges, 250), kEdges);
}

TEST(SoundLevel, HalfVolumeHalvesEverySampleTowardZeroWithoutOverflow) {
    EXPECT_EQ(scaled(kEdges, 50),
              (std::vector<std::int16_t>{0, 0, 0, 1, -1, 500, -500, 16383, -16384}));
    const auto near = scaled(kEdges, 99);
    EXPECT_EQ(near[7], 32439);
    EXPECT_EQ(near[8], -32440);
}

TEST(SoundLevel, ZeroAndBelowAreSilenceAndAnOddByteIsLeftAlone) {
    EXPECT_EQ(scaled(kEdges, 0), std::vector<std::int16_t>(kEdges.size(), 0));
    EXPECT_EQ(scaled(kEdges, -20), std::vector<std::int16_t>(kEdges.size(), 0));
    std::vector<std::uint8_t> odd = bytesOf({1000, -1000});
    odd.push_back(0x7F);
    platform::scaleSamples(odd.data(), odd.size(), 50);
    EXPECT_EQ(odd.back(), 0x7F);
    std::int16_t second;
    std::memcpy(&second, odd.data() + 2, 2);
    EXPECT_EQ(second, -500);
}
