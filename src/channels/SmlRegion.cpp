#include "channels/SmlRegion.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace kiv {

namespace {

struct TSpan {
    int32_t left;
    int32_t right;
    friend bool operator==(const TSpan&, const TSpan&) = default;
};

// The x extent the active rectangles (sorted by left) cover in one band, merged
// in one pass.
void MergeSpans(const std::vector<TSmlRect>& active, std::vector<TSpan>& spans) {
    spans.clear();
    for (const TSmlRect& r : active) {
        if (!spans.empty() && r.left <= spans.back().right) spans.back().right = std::max(spans.back().right, r.right);
        else spans.push_back({r.left, r.right});
    }
}

bool ByLeft(const TSmlRect& a, const TSmlRect& b) { return a.left < b.left; }

}  // namespace

TSmlRect Intersect(const TSmlRect& a, const TSmlRect& b) {
    return TSmlRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom)};
}

TSmlRegion TSmlRegion::Union(std::vector<TSmlRect> rects) {
    TSmlRegion region;
    std::erase_if(rects, [](const TSmlRect& r) { return r.Empty(); });
    if (rects.empty()) return region;
    std::sort(rects.begin(), rects.end(), [](const TSmlRect& a, const TSmlRect& b) { return a.top < b.top; });

    std::vector<int32_t> edges;
    edges.reserve(rects.size() * 2);
    for (const TSmlRect& r : rects) {
        edges.push_back(r.top);
        edges.push_back(r.bottom);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    std::vector<TSmlRect> active;
    std::vector<TSpan> spans, previousSpans;
    std::size_t next = 0;
    std::size_t previousBand = 0;  // first rectangle of the last band written
    bool havePrevious = false;
    int32_t previousBottom = 0;
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        const int32_t top = edges[i];
        const int32_t bottom = edges[i + 1];
        // The active rectangles stay sorted by left, so a band merges without sorting.
        while (next < rects.size() && rects[next].top <= top) {
            const TSmlRect& r = rects[next++];
            active.insert(std::upper_bound(active.begin(), active.end(), r, ByLeft), r);
        }
        std::erase_if(active, [top](const TSmlRect& r) { return r.bottom <= top; });
        if (active.empty()) {
            havePrevious = false;
            continue;
        }
        // Every active rectangle spans this whole band: bottom is the next edge.
        MergeSpans(active, spans);
        if (havePrevious && previousBottom == top && spans == previousSpans) {
            for (std::size_t k = previousBand; k < region.rects_.size(); ++k) region.rects_[k].bottom = bottom;
        } else {
            previousBand = region.rects_.size();
            for (const TSpan& s : spans) region.rects_.push_back({s.left, top, s.right, bottom});
            std::swap(previousSpans, spans);
            havePrevious = true;
        }
        previousBottom = bottom;
    }
    return region;
}

TSmlRegion TSmlRegion::ReplaceRows(int32_t top, int32_t bottom, std::vector<TSmlRect> rects) const {
    if (bottom <= top) return *this;
    for (TSmlRect& r : rects) {
        r.top = std::max(r.top, top);
        r.bottom = std::min(r.bottom, bottom);
    }
    const TSmlRegion middle = Union(std::move(rects));
    TSmlRegion out;
    out.rects_.reserve(rects_.size() + middle.rects_.size() + 8);
    // Bands run from top to bottom: the ones above the rows come first.
    for (const TSmlRect& r : rects_) {
        if (r.top >= top) break;
        out.rects_.push_back({r.left, r.top, r.right, std::min(r.bottom, top)});
    }
    out.rects_.insert(out.rects_.end(), middle.rects_.begin(), middle.rects_.end());
    for (const TSmlRect& r : rects_)
        if (r.bottom > bottom) out.rects_.push_back({r.left, std::max(r.top, bottom), r.right, r.bottom});
    out.JoinEqualBands();
    return out;
}

void TSmlRegion::JoinEqualBands() {
    std::vector<TSmlRect> joined;
    joined.reserve(rects_.size());
    std::size_t previous = 0;  // first rectangle of the last band kept
    for (std::size_t i = 0; i < rects_.size();) {
        std::size_t end = i;
        while (end < rects_.size() && rects_[end].top == rects_[i].top) ++end;
        const std::size_t count = end - i;
        bool same = previous < joined.size() && joined.size() - previous == count &&
                    joined[previous].bottom == rects_[i].top;
        for (std::size_t k = 0; same && k < count; ++k)
            same = joined[previous + k].left == rects_[i + k].left && joined[previous + k].right == rects_[i + k].right;
        if (same) {
            for (std::size_t k = 0; k < count; ++k) joined[previous + k].bottom = rects_[i].bottom;
        } else {
            previous = joined.size();
            joined.insert(joined.end(), rects_.begin() + static_cast<std::ptrdiff_t>(i),
                          rects_.begin() + static_cast<std::ptrdiff_t>(end));
        }
        i = end;
    }
    rects_ = std::move(joined);
}

bool TSmlRegion::Contains(int32_t x, int32_t y) const {
    return std::any_of(rects_.begin(), rects_.end(),
                       [x, y](const TSmlRect& r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; });
}

int64_t TSmlRegion::Area() const {
    int64_t area = 0;
    // Saturates: a region of the whole 32-bit plane has more pixels than 63 bits hold.
    for (const TSmlRect& r : rects_) {
        int64_t part = 0;
        if (__builtin_mul_overflow(int64_t{r.right} - r.left, int64_t{r.bottom} - r.top, &part) ||
            __builtin_add_overflow(area, part, &area))
            return INT64_MAX;
    }
    return area;
}

std::vector<TRect> TSmlRegion::ToRects() const {
    std::vector<TRect> out;
    out.reserve(rects_.size());
    // Sizes beyond 32 bits cannot be shown anyway: they are cut to the largest one.
    const auto size = [](int32_t from, int32_t to) {
        return static_cast<int32_t>(std::min<int64_t>(int64_t{to} - from, INT32_MAX));
    };
    for (const TSmlRect& r : rects_) out.push_back(TRect{r.left, r.top, size(r.left, r.right), size(r.top, r.bottom)});
    return out;
}

}  // namespace kiv
