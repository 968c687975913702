#include "platform/Region.h"

#include <algorithm>

namespace platform {

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
        // A few hostile rectangles (a comb) can multiply into millions: refuse those too.
        if (builder.size() > kMaxNormalizedRects) {
            return std::nullopt;
        }
    }
    return builder.take();
}

void RegionBuilder::closePrevious() {
    auto& rects = region_.rects_;
    for (size_t i = prevStart_; i < prevEnd_; ++i) {
        rects[i].bottom = prevBottom_;
    }
}

void RegionBuilder::endBand() {
    auto& rects = region_.rects_;
    const size_t n = rects.size() - start_;
    if (n == 0) {
        return;
    }
    if (prevEnd_ == start_ && prevEnd_ - prevStart_ == n && prevBottom_ == top_) {
        bool same = true;
        for (size_t i = 0; i < n && same; ++i) {
            same = rects[start_ + i].left == rects[prevStart_ + i].left &&
                   rects[start_ + i].right == rects[prevStart_ + i].right;
        }
        if (same) {
            rects.resize(start_);
            prevBottom_ = bottom_;
            return;
        }
    }
    closePrevious();
    prevStart_ = start_;
    prevEnd_ = rects.size();
    prevBottom_ = bottom_;
}

Region RegionBuilder::take() {
    closePrevious();
    prevStart_ = prevEnd_ = start_ = 0;
    return std::move(region_);
}

} // namespace platform
