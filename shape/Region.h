#pragma once
// A window region: a union of rectangles held in banded normal form. Rectangles are sorted by
// top, then left; a band is a run of rectangles sharing top and bottom; rectangles in a band
// neither overlap nor touch; vertically adjacent bands never have identical spans. X servers
// keep regions in the same form, so two equal regions have equal rectangle lists.
#include <cstdint>
#include <optional>
#include <vector>

namespace shape {

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;  // exclusive
    std::int32_t bottom = 0; // exclusive
    bool operator==(const Rect&) const = default;
};

class Region {
public:
    Region() = default;

    const std::vector<Rect>& rects() const { return rects_; }
    bool empty() const { return rects_.empty(); }
    // Smallest rectangle holding the region; all zero when empty.
    Rect bound() const;
    bool contains(int x, int y) const;

    // Takes a list that is already in normal form; nullopt when it is not.
    static std::optional<Region> fromNormalRects(std::vector<Rect> rects);
    // Any list of rectangles, brought into normal form. Lists longer than `maxUnsorted` that are
    // not already normal are refused (nullopt) to keep the work bounded on hostile input.
    static std::optional<Region> fromRects(std::vector<Rect> rects, size_t maxUnsorted = 4096);

    bool operator==(const Region&) const = default;

private:
    friend class RegionBuilder;
    std::vector<Rect> rects_;
};

// Builds a region row band by row band, top to bottom, in one pass. Each call adds the spans of
// one row (sorted, non-touching [left, right) pairs); a row whose spans equal the band above it
// extends that band, so the result comes out in normal form without any region arithmetic.
class RegionBuilder {
public:
    struct Span {
        std::int32_t left;
        std::int32_t right;
        bool operator==(const Span&) const = default;
    };

    // Rows must come in increasing y. Spans must be sorted, non-empty and non-touching.
    void addRow(std::int32_t y, const std::vector<Span>& spans) { addBand(y, y + 1, spans); }
    // The same for a band of rows [top, bottom) that all have these spans.
    void addBand(std::int32_t top, std::int32_t bottom, const std::vector<Span>& spans);
    Region take();

private:
    Region region_;
    std::vector<Span> bandSpans_;
    std::int32_t bandBottom_ = 0;
    size_t bandStart_ = 0; // index in rects_ of the current band's first rectangle
    bool haveBand_ = false;
};

} // namespace shape
