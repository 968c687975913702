// Chime, alarm and mail notice, synthesised from a few sine partials.
#include "gen.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gen {
namespace {

using Samples = std::vector<double>;

size_t samplesFor(double seconds) {
    return static_cast<size_t>(std::lround(seconds * kSampleRate));
}

// A struck tone: a fast attack and partials that die away, the higher ones sooner.
struct Partial {
    double ratio, level;
};

void addStrike(Samples& out, double start, double freq, double decay, double level,
               std::initializer_list<Partial> partials) {
    const double attack = 0.004;
    size_t first = samplesFor(start);
    for (size_t i = first; i < out.size(); ++i) {
        double t = static_cast<double>(i - first) / kSampleRate;
        double v = 0;
        for (const auto& p : partials) {
            double tau = decay / std::pow(p.ratio, 0.7);
            v += p.level * std::exp(-t / tau) * std::sin(2 * std::numbers::pi * freq * p.ratio * t);
        }
        out[i] += level * v * std::min(1.0, t / attack);
    }
}

// A steady beep with a few odd harmonics so it cuts through, ramped to avoid clicks.
void addBeep(Samples& out, double start, double length, double freq, double level) {
    const double ramp = 0.006;
    size_t first = samplesFor(start), count = samplesFor(length);
    for (size_t k = 0; k < count && first + k < out.size(); ++k) {
        double t = static_cast<double>(k) / kSampleRate;
        double w = 2 * std::numbers::pi * freq * t;
        double v = std::sin(w) + 0.28 * std::sin(3 * w) + 0.12 * std::sin(5 * w);
        double env = std::min({1.0, t / ramp, (length - t) / ramp});
        out[first + k] += level * std::max(env, 0.0) * v;
    }
}

void fadeEnds(Samples& s, double in, double out) {
    size_t nIn = samplesFor(in), nOut = samplesFor(out);
    for (size_t i = 0; i < nIn && i < s.size(); ++i) {
        s[i] *= static_cast<double>(i) / static_cast<double>(nIn);
    }
    for (size_t i = 0; i < nOut && i < s.size(); ++i) {
        s[s.size() - 1 - i] *= static_cast<double>(i) / static_cast<double>(nOut);
    }
}

constexpr double kG4 = 392.00, kC5 = 523.25, kD5 = 587.33, kE5 = 659.26;
constexpr double kC6 = 1046.50, kE6 = 1318.51, kG6 = 1567.98;

} // namespace

Samples chimeSound() {
    Samples s(samplesFor(2.2));
    const double notes[] = {kE5, kC5, kD5, kG4};
    for (int i = 0; i < 4; ++i) {
        double decay = i == 3 ? 0.75 : 0.55;
        addStrike(s, i * 0.45, notes[i], decay, 0.36,
                  {{1.0, 1.0}, {2.0, 0.42}, {3.0, 0.16}, {4.16, 0.07}});
    }
    fadeEnds(s, 0.003, 0.25);
    return s;
}

Samples alarmSound() {
    // Four quick two-tone beeps, then a rest; played in a loop it becomes the familiar call.
    // It starts and ends in silence so the loop point never clicks.
    Samples s(samplesFor(1.5));
    for (int i = 0; i < 4; ++i) {
        addBeep(s, 0.02 + i * 0.17, 0.12, i % 2 == 0 ? kE6 : kC6, 0.42);
    }
    fadeEnds(s, 0.003, 0.003);
    return s;
}

Samples mailSound() {
    Samples s(samplesFor(0.8));
    const double notes[] = {kC6, kE6, kG6};
    for (int i = 0; i < 3; ++i) {
        addStrike(s, i * 0.11, notes[i], i == 2 ? 0.32 : 0.18, 0.34,
                  {{1.0, 1.0}, {2.0, 0.25}, {3.0, 0.08}});
    }
    fadeEnds(s, 0.003, 0.12);
    return s;
}

} // namespace gen
