#pragma once
// The shape of the session window in seamless mode: a union of rectangles kept
// as disjoint y-x bands (every band's rectangles share top and bottom, sorted by
// left, never touching), the form window shapes take.
#include <cstdint>
#include <vector>

#include "ports/RemoteDisplay.h"  // TRect

namespace kiv {

// Edges as the server sends them: right and bottom exclusive.
struct TSmlRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const TSmlRect&, const TSmlRect&) = default;
};

// The common part of two rectangles (empty when they do not meet).
TSmlRect Intersect(const TSmlRect& a, const TSmlRect& b);

class TSmlRegion {
public:
    TSmlRegion() = default;

    // The union of any rectangles (overlapping, empty or inverted ones
    // included: the empty ones add nothing), built in one sweep from top to
    // bottom, so the cost follows the rectangles of the input and the result.
    static TSmlRegion Union(std::vector<TSmlRect> rects);

    // This region with what lies inside area replaced by the union of rects cut
    // to area; what lies outside keeps its bands. The result is the region a
    // full Union would give, band for band, in one pass over the bands, so a
    // change confined to an area costs the bands and the rectangles there.
    // Without an exception the region is changed in place; an exception (only
    // std::bad_alloc) leaves it as it was.
    void Replace(const TSmlRegion& area, std::vector<TSmlRect> rects);
    void ReplaceArea(const TSmlRect& area, std::vector<TSmlRect> rects);
    // This region and other together, as Union would give them.
    void Add(const TSmlRegion& other);

    const std::vector<TSmlRect>& Rects() const { return rects_; }
    bool Empty() const { return rects_.empty(); }
    bool Contains(int32_t x, int32_t y) const;
    int64_t Area() const;
    // As x, y, width, height, for the windows that take the shape.
    std::vector<TRect> ToRects() const;

private:
    // The inside of area replaced by what inside has there.
    void ReplaceWith(const TSmlRegion& area, const TSmlRegion& inside);
    // Joins each band to the one above when they touch and cover the same spans,
    // in place.
    void JoinEqualBands();

    std::vector<TSmlRect> rects_;
};

}  // namespace kiv
