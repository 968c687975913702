#pragma once
// A window region: a union of rectangles held in banded normal form. Rectangles are sorted by
// top, then left; a band is a run of rectangles sharing top and bottom; rectangles in a band
// neither overlap nor touch; vertically adjacent bands never have identical spans. X servers
// keep regions in the same form, so two equal regions have equal rectangle lists.
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;  // exclusive
    std::int32_t bottom = 0; // exclusive
    bool operator==(const Rect&) const = default;
};

class Region {
public:
    static constexpr size_t kMaxNormalizedRects = size_t{1} << 18;

    Region() = default;

    const std::vector<Rect>& rects() const { return rects_; }
    bool empty() const { return rects_.empty(); }
    // Smallest rectangle holding the region; all zero when empty.
    Rect bound() const;
    bool contains(int x, int y) const;

    // Takes a list that is already in normal form; nullopt when it is not.
    static std::optional<Region> fromNormalRects(std::vector<Rect> rects);
    // Any list of rectangles, brought into normal form. Lists longer than `maxUnsorted` that are
    // not already normal, or whose normal form would exceed kMaxNormalizedRects, are refused
    // (nullopt) to keep the work bounded on hostile input.
    static std::optional<Region> fromRects(std::vector<Rect> rects, size_t maxUnsorted = 4096);

    bool operator==(const Region&) const = default;

private:
    friend class RegionBuilder;
    std::vector<Rect> rects_;
};

// Builds a region band by band, top to bottom, in one pass. A band whose spans equal those of
// the band just above it extends that band, so the result comes out in normal form without
// any region arithmetic.
class RegionBuilder {
public:
    struct Span {
        std::int32_t left;
        std::int32_t right;
    };

    // Bands must come in increasing order; spans of a band sorted, non-empty, non-touching.
    void beginBand(std::int32_t top, std::int32_t bottom) {
        top_ = top;
        bottom_ = bottom;
        start_ = region_.rects_.size();
    }
    void addSpan(std::int32_t left, std::int32_t right) {
        region_.rects_.push_back(Rect{left, top_, right, bottom_});
    }
    void endBand();

    void addBand(std::int32_t top, std::int32_t bottom, const std::vector<Span>& spans) {
        beginBand(top, bottom);
        for (const Span& s : spans) {
            addSpan(s.left, s.right);
        }
        endBand();
    }
    Region take();
    size_t size() const { return region_.rects_.size(); }

private:
    void closePrevious();

    Region region_;
    std::int32_t top_ = 0;
    std::int32_t bottom_ = 0;
    size_t start_ = 0;     // first rectangle of the band being added
    size_t prevStart_ = 0; // the last finished band: [prevStart_, prevEnd_)
    size_t prevEnd_ = 0;
    std::int32_t prevBottom_ = 0; // its bottom, written into its rectangles when it closes
};

} // namespace platform
