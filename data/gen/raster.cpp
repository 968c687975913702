// Shapes, the supersampled canvas and the BMP writer.
#include "gen.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace gen {

Shape circle(double cx, double cy, double r) {
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}

Shape ellipse(double cx, double cy, double rx, double ry) {
    // Close to a true distance near the edge, which is all outlines need.
    return [=](double x, double y) {
        double px = (x - cx) / rx, py = (y - cy) / ry;
        double k0 = std::hypot(px, py);
        double k1 = std::hypot(px / rx, py / ry);
        if (k1 == 0) {
            return -std::min(rx, ry);
        }
        return k0 * (k0 - 1) / k1;
    };
}

Shape roundRect(double x0, double y0, double x1, double y1, double radius) {
    double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return [=](double x, double y) {
        double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
        double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
        return outside + std::min(std::max(qx, qy), 0.0) - radius;
    };
}

Shape polygon(Points v) {
    if (v.size() < 3) {
        throw std::logic_error("polygon needs three corners");
    }
    return [v = std::move(v)](double x, double y) {
        double best = (x - v[0].first) * (x - v[0].first) + (y - v[0].second) * (y - v[0].second);
        double sign = 1;
        for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            double ex = v[j].first - v[i].first, ey = v[j].second - v[i].second;
            double wx = x - v[i].first, wy = y - v[i].second;
            double t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0, 1.0);
            double bx = wx - ex * t, by = wy - ey * t;
            best = std::min(best, bx * bx + by * by);
            bool c1 = y >= v[i].second, c2 = y<v[j].second, c3 = ex * wy> ey * wx;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) {
                sign = -sign;
            }
        }
        return sign * std::sqrt(best);
    };
}

Shape thickLine(double x0, double y0, double x1, double y1, double halfWidth) {
    return [=](double x, double y) {
        double ex = x1 - x0, ey = y1 - y0;
        double len2 = ex * ex + ey * ey;
        double t = len2 > 0 ? std::clamp(((x - x0) * ex + (y - y0) * ey) / len2, 0.0, 1.0) : 0.0;
        return std::hypot(x - x0 - ex * t, y - y0 - ey * t) - halfWidth;
    };
}

Shape ring(double cx, double cy, double r, double halfWidth) {
    return [=](double x, double y) { return std::abs(std::hypot(x - cx, y - cy) - r) - halfWidth; };
}

Shape above(double edge) {
    return [=](double, double y) { return y - edge; };
}

Shape below(double edge) {
    return [=](double, double y) { return edge - y; };
}

Shape unite(std::initializer_list<Shape> parts) {
    std::vector<Shape> all(parts);
    return [all = std::move(all)](double x, double y) {
        double d = 1e9;
        for (const auto& s : all) {
            d = std::min(d, s(x, y));
        }
        return d;
    };
}

Shape blend(const Shape& a, const Shape& b, double k) {
    return [=](double x, double y) {
        double da = a(x, y), db = b(x, y);
        double h = std::max(k - std::abs(da - db), 0.0) / k;
        return std::min(da, db) - h * h * k * 0.25;
    };
}

Shape intersect(const Shape& a, const Shape& b) {
    return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

Shape cut(const Shape& a, const Shape& b) {
    return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Shape grow(const Shape& a, double by) {
    return [=](double x, double y) { return a(x, y) - by; };
}

Shape shift(const Shape& a, double dx, double dy) {
    return [=](double x, double y) { return a(x - dx, y - dy); };
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto ch = [t](int p, int q) {
        return static_cast<std::uint8_t>(std::clamp(std::lround(p + (q - p) * t), 0L, 255L));
    };
    return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b)};
}

Canvas::Canvas(int width, int height, int ss, Rgb background)
    : width_(width), height_(height), ss_(ss),
      samples_(static_cast<size_t>(width * ss) * static_cast<size_t>(height * ss), background) {}

void Canvas::fill(const Shape& shape, const Paint& paint, double alpha) {
    int sw = width_ * ss_, sh = height_ * ss_;
    for (int sy = 0; sy < sh; ++sy) {
        double y = ((sy + 0.5) / ss_ - dy_) / scale_;
        for (int sx = 0; sx < sw; ++sx) {
            double x = ((sx + 0.5) / ss_ - dx_) / scale_;
            if (shape(x, y) >= 0) {
                continue;
            }
            Rgb c = paint(x, y);
            if (c == kKey) {
                throw std::logic_error("the figure may not use the key colour");
            }
            Rgb& s = samples_[static_cast<size_t>(sy) * static_cast<size_t>(sw) +
                              static_cast<size_t>(sx)];
            s = alpha >= 1.0 ? c : mix(s, c, alpha);
        }
    }
}

void Canvas::fill(const Shape& shape, Rgb colour, double alpha) {
    fill(
        shape, [colour](double, double) { return colour; }, alpha);
}

void Canvas::outlined(const Shape& shape, Rgb colour, Rgb ink, double width) {
    fill(grow(shape, width), ink);
    fill(shape, colour);
}

void Canvas::setView(double scale, double dx, double dy) {
    scale_ = scale;
    dx_ = dx;
    dy_ = dy;
}

Canvas::SampleSum Canvas::sum(int x, int y, bool skipKey) const {
    SampleSum t;
    const size_t sw = static_cast<size_t>(width_ * ss_);
    for (int j = 0; j < ss_; ++j) {
        for (int i = 0; i < ss_; ++i) {
            const Rgb& s =
                samples_[static_cast<size_t>(y * ss_ + j) * sw + static_cast<size_t>(x * ss_ + i)];
            if (skipKey && s == kKey) {
                continue;
            }
            t.r += s.r, t.g += s.g, t.b += s.b, ++t.n;
        }
    }
    return t;
}

Picture Canvas::resolve(bool keyed) const {
    Picture out{width_, height_, std::vector<Rgb>(static_cast<size_t>(width_ * height_))};
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const auto [r, g, b, n] = sum(x, y, keyed);
            Rgb& p = out.pixels[static_cast<size_t>(y * width_ + x)];
            if (keyed && n * 2 <= ss_ * ss_) {
                p = kKey; // mostly outside: the whole pixel goes
                continue;
            }
            p = {static_cast<std::uint8_t>((r + n / 2) / n),
                 static_cast<std::uint8_t>((g + n / 2) / n),
                 static_cast<std::uint8_t>((b + n / 2) / n)};
            if (keyed && p == kKey) {
                p.g = 254; // would vanish as a hole in the figure
            }
        }
    }
    return out;
}

RgbaPicture Canvas::resolveAlpha() const {
    RgbaPicture out{width_, height_,
                    std::vector<std::uint8_t>(static_cast<size_t>(width_ * height_) * 4)};
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const auto [r, g, b, n] = sum(x, y, true);
            std::uint8_t* p = &out.rgba[static_cast<size_t>(y * width_ + x) * 4];
            if (n == 0) {
                continue; // transparent black
            }
            p[0] = static_cast<std::uint8_t>((r + n / 2) / n);
            p[1] = static_cast<std::uint8_t>((g + n / 2) / n);
            p[2] = static_cast<std::uint8_t>((b + n / 2) / n);
            p[3] = static_cast<std::uint8_t>((n * 255 + ss_ * ss_ / 2) / (ss_ * ss_));
        }
    }
    return out;
}

double Random::next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<double>((state_ * 0x2545F4914F6CDD1DULL) >> 11) * 0x1.0p-53;
}

namespace {

void put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

} // namespace

std::string encodeBmp(const Picture& p) {
    std::uint32_t stride = (static_cast<std::uint32_t>(p.width) * 3 + 3) & ~3u;
    std::uint32_t imageSize = stride * static_cast<std::uint32_t>(p.height);
    std::string s = "BM";
    put32(s, 14 + 40 + imageSize);
    put32(s, 0); // reserved
    put32(s, 14 + 40);
    put32(s, 40);
    put32(s, static_cast<std::uint32_t>(p.width));
    put32(s, static_cast<std::uint32_t>(p.height)); // positive: rows stored bottom-up
    put16(s, 1);
    put16(s, 24);
    put32(s, 0); // no compression
    put32(s, imageSize);
    put32(s, 2835); // 72 dpi
    put32(s, 2835);
    put32(s, 0);
    put32(s, 0);
    for (int y = p.height - 1; y >= 0; --y) {
        size_t rowStart = s.size();
        for (int x = 0; x < p.width; ++x) {
            Rgb c = p.at(x, y);
            s.push_back(static_cast<char>(c.b));
            s.push_back(static_cast<char>(c.g));
            s.push_back(static_cast<char>(c.r));
        }
        s.resize(rowStart + stride, '\0');
    }
    return s;
}

namespace {

std::uint32_t crc32(const std::string& bytes, size_t from) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i) {
        c ^= static_cast<std::uint8_t>(bytes[i]);
        for (int k = 0; k < 8; ++k) {
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
    }
    return ~c;
}

void putBe32(std::string& s, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        s.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
}

void pngChunk(std::string& png, const char* type, const std::string& data) {
    putBe32(png, static_cast<std::uint32_t>(data.size()));
    const size_t start = png.size();
    png += type;
    png += data;
    putBe32(png, crc32(png, start));
}

} // namespace

std::string encodePng(const RgbaPicture& p) {
    std::string raw;
    for (int y = 0; y < p.height; ++y) {
        raw.push_back('\0'); // no filter
        const auto* row = &p.rgba[static_cast<size_t>(y * p.width) * 4];
        raw.append(reinterpret_cast<const char*>(row), static_cast<size_t>(p.width) * 4);
    }
    // A zlib stream of stored blocks: exact and reproducible without a compressor.
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0;) {
        const size_t len = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + len == raw.size() ? '\1' : '\0');
        put16(z, static_cast<unsigned>(len));
        put16(z, static_cast<unsigned>(~len & 0xFFFF));
        z.append(raw, at, len);
        at += len;
        if (len == 0) {
            break;
        }
    }
    std::uint32_t a = 1, b = 0;
    for (char ch : raw) {
        a = (a + static_cast<std::uint8_t>(ch)) % 65521;
        b = (b + a) % 65521;
    }
    putBe32(z, (b << 16) | a);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string ihdr;
    putBe32(ihdr, static_cast<std::uint32_t>(p.width));
    putBe32(ihdr, static_cast<std::uint32_t>(p.height));
    ihdr += std::string("\x08\x06\x00\x00\x00", 5); // 8-bit RGBA, no interlace
    pngChunk(png, "IHDR", ihdr);
    pngChunk(png, "IDAT", z);
    pngChunk(png, "IEND", "");
    return png;
}

std::string encodeWav(const std::vector<double>& samples) {
    auto dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    std::string s = "RIFF";
    put32(s, 36 + dataSize);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1); // PCM
    put16(s, 1); // mono
    put32(s, kSampleRate);
    put32(s, kSampleRate * 2);
    put16(s, 2);
    put16(s, 16);
    s += "data";
    put32(s, dataSize);
    for (double v : samples) {
        long q = std::lround(std::clamp(v, -1.0, 1.0) * 32767.0);
        put16(s, static_cast<unsigned>(q) & 0xFFFF);
    }
    return s;
}

} // namespace gen
