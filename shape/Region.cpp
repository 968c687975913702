#include "shape/Region.h"

#include <algorithm>

namespace shape {

Rect Region::bound() const {
    if (rects_.empty()) {
        return Rect{};
    }
    Rect b = rects_.front();
    for (const Rect& r : rects_) {
        b.left = std::min(b.left, r.left);
        b.right = std::max(b.right, r.right);
    }
    b.bottom = rects_.back().bottom;
    return b;
}

bool Region::contains(int x, int y) const {
    for (const Rect& r : rects_) {
        if (r.top > y) {
            break;
        }
        if (y < r.bottom && x >= r.left && x < r.right) {
            return true;
        }
    }
    return false;
}

namespace {

bool isNormal(const std::vector<Rect>& rs) {
    size_t i = 0;
    size_t prevStart = 0;
    size_t prevEnd = 0; // empty previous band
    while (i < rs.size()) {
        const size_t start = i;
        const Rect& first = rs[i];
        if (first.left >= first.right || first.top >= first.bottom) {
            return false;
        }
        ++i;
        while (i < rs.size() && rs[i].top == first.top && rs[i].bottom == first.bottom) {
            const Rect& r = rs[i];
            if (r.left >= r.right || r.left <= rs[i - 1].right) {
                return false; // unsorted, overlapping or touching within the band
            }
            ++i;
        }
        if (prevEnd > prevStart) {
            const Rect& prev = rs[prevStart];
            if (first.top < prev.bottom) {
                return false;
            }
            if (first.top == prev.bottom && i - start == prevEnd - prevStart) {
                bool same = true;
                for (size_t k = 0; k < i - start && same; ++k) {
                    same = rs[start + k].left == rs[prevStart + k].left &&
                           rs[start + k].right == rs[prevStart + k].right;
                }
                if (same) {
                    return false; // should have been merged into one band
                }
            }
        }
        prevStart = start;
        prevEnd = i;
    }
    return true;
}

} // namespace

std::optional<Region> Region::fromNormalRects(std::vector<Rect> rects) {
    if (!isNormal(rects)) {
        return std::nullopt;
    }
    Region r;
    r.rects_ = std::move(rects);
    return r;
}

std::optional<Region> Region::fromRects(std::vector<Rect> rects, size_t maxUnsorted) {
    if (isNormal(rects)) {
        Region r;
        r.rects_ = std::move(rects);
        return r;
    }
    std::erase_if(rects, [](const Rect& r) { return r.left >= r.right || r.top >= r.bottom; });
    if (rects.size() > maxUnsorted) {
        return std::nullopt;
    }
    std::vector<std::int32_t> ys;
    ys.reserve(rects.size() * 2);
    for (const Rect& r : rects) {
        ys.push_back(r.top);
        ys.push_back(r.bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    RegionBuilder builder;
    std::vector<RegionBuilder::Span> raw;
    std::vector<RegionBuilder::Span> spans;
    for (size_t k = 0; k + 1 < ys.size(); ++k) {
        raw.clear();
        for (const Rect& r : rects) {
            if (r.top <= ys[k] && r.bottom >= ys[k + 1]) {
                raw.push_back({r.left, r.right});
            }
        }
        std::sort(raw.begin(), raw.end(),
                  [](const auto& a, const auto& b) { return a.left < b.left; });
        spans.clear();
        for (const auto& s : raw) {
            if (!spans.empty() && s.left <= spans.back().right) {
                spans.back().right = std::max(spans.back().right, s.right);
            } else {
                spans.push_back(s);
            }
        }
        builder.addBand(ys[k], ys[k + 1], spans);
    }
    return builder.take();
}

void RegionBuilder::addBand(std::int32_t top, std::int32_t bottom, const std::vector<Span>& spans) {
    if (spans.empty()) {
        haveBand_ = false;
        return;
    }
    auto& rects = region_.rects_;
    if (haveBand_ && top == bandBottom_ && spans == bandSpans_) {
        for (size_t i = bandStart_; i < rects.size(); ++i) {
            rects[i].bottom = bottom;
        }
        bandBottom_ = bottom;
        return;
    }
    bandStart_ = rects.size();
    for (const Span& s : spans) {
        rects.push_back(Rect{s.left, top, s.right, bottom});
    }
    bandSpans_ = spans;
    bandBottom_ = bottom;
    haveBand_ = true;
}

Region RegionBuilder::take() {
    haveBand_ = false;
    bandSpans_.clear();
    return std::move(region_);
}

} // namespace shape
