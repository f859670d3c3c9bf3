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
    if (rects.size() == 1) {
        region.rects_ = std::move(rects);
        return region;
    }
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

namespace {

// Adds the span from left to right to the band that starts at out[band] (the
// last one of out), joined to its last span when they meet.
void AddSpan(std::vector<TSmlRect>& out, std::size_t band, int32_t left, int32_t right, int32_t top, int32_t bottom) {
    if (out.size() > band && out.back().right >= left) out.back().right = std::max(out.back().right, right);
    else out.push_back({left, top, right, bottom});
}

// The end of the band that starts at rects[from].
std::size_t BandEnd(const std::vector<TSmlRect>& rects, std::size_t from) {
    std::size_t end = from;
    while (end < rects.size() && rects[end].top == rects[from].top) ++end;
    return end;
}

// One band's rectangles, from first to end, of a banded list.
struct TBand {
    const TSmlRect* first = nullptr;
    const TSmlRect* end = nullptr;
};

// The spans of a outside the spans of b.
void SubtractSpans(TBand a, TBand b, std::vector<TSpan>& out) {
    out.clear();
    const TSmlRect* from = b.first;
    for (const TSmlRect* s = a.first; s != a.end; ++s) {
        int32_t left = s->left;
        while (from != b.end && from->right <= left) ++from;
        for (const TSmlRect* c = from; c != b.end && c->left < s->right; ++c) {
            if (c->left > left) out.push_back({left, c->left});
            left = std::max(left, c->right);
        }
        if (left < s->right) out.push_back({left, s->right});
    }
}

// The spans of a inside the spans of b.
void IntersectSpans(TBand a, TBand b, std::vector<TSpan>& out) {
    out.clear();
    while (a.first != a.end && b.first != b.end) {
        const int32_t left = std::max(a.first->left, b.first->left);
        const int32_t right = std::min(a.first->right, b.first->right);
        if (left < right) out.push_back({left, right});
        if (a.first->right < b.first->right) ++a.first;
        else ++b.first;
    }
}

// Walks one banded list down the rows: the band at or below a row.
struct TBandCursor {
    const std::vector<TSmlRect>& rects;
    std::size_t at = 0;

    void SkipTo(int32_t y) {
        while (at < rects.size() && rects[at].bottom <= y) ++at;
    }
    bool Done() const { return at >= rects.size(); }
    bool Here(int32_t y) const { return !Done() && rects[at].top <= y; }
    // The next row where this list's band starts or ends.
    int32_t NextEdge(int32_t y) const { return Here(y) ? rects[at].bottom : rects[at].top; }
    TBand Band(int32_t y) const {
        if (!Here(y)) return {};
        return {rects.data() + at, rects.data() + BandEnd(rects, at)};
    }
};

}  // namespace

void TSmlRegion::ReplaceArea(const TSmlRect& area, std::vector<TSmlRect> rects) {
    if (area.Empty()) return;
    TSmlRegion region;
    region.rects_.push_back(area);
    Replace(region, std::move(rects));
}

void TSmlRegion::Replace(const TSmlRegion& area, std::vector<TSmlRect> rects) {
    if (area.Empty()) return;
    ReplaceWith(area, Union(std::move(rects)));
}

void TSmlRegion::Add(const TSmlRegion& other) { ReplaceWith(other, other); }

void TSmlRegion::ReplaceWith(const TSmlRegion& area, const TSmlRegion& inside) {
    // The bands are built in a buffer kept from the last call, which then
    // keeps this region's old one: no allocation once both have grown.
    thread_local std::vector<TSmlRect> out;
    thread_local std::vector<TSpan> kept, added;
    out.clear();
    TBandCursor old{rects_}, cut{area.rects_}, mid{inside.rects_};
    if (cut.Done()) return;
    // Above the area the bands stay; one reaching into it keeps its part above.
    int32_t y = area.rects_.front().top;
    old.SkipTo(y);
    out.insert(out.end(), rects_.begin(), rects_.begin() + static_cast<std::ptrdiff_t>(old.at));
    for (std::size_t k = old.at; k < rects_.size() && rects_[k].top < y; ++k)
        out.push_back({rects_[k].left, rects_[k].top, rects_[k].right, y});
    // Row by row stretch: where the area is not, the old bands stay; where it
    // is, the old spans outside the area's spans and the new ones inside them.
    while (true) {
        old.SkipTo(y);
        cut.SkipTo(y);
        mid.SkipTo(y);
        if (cut.Done()) {
            // Below the area the bands stay; one reaching out of it keeps its part below.
            for (std::size_t k = old.at; k < rects_.size(); ++k)
                out.push_back({rects_[k].left, std::max(rects_[k].top, y), rects_[k].right, rects_[k].bottom});
            break;
        }
        const bool inArea = cut.Here(y);
        int32_t next = cut.NextEdge(y);
        if (!old.Done()) next = std::min(next, old.NextEdge(y));
        if (inArea && !mid.Done()) next = std::min(next, mid.NextEdge(y));
        const std::size_t band = out.size();
        if (!inArea) {
            for (TBand b = old.Band(y); b.first != b.end; ++b.first) out.push_back({b.first->left, y, b.first->right, next});
        } else {
            SubtractSpans(old.Band(y), cut.Band(y), kept);
            IntersectSpans(mid.Band(y), cut.Band(y), added);
            // Both sorted by left and apart from each other: merged, the touching ones joined.
            std::size_t k = 0, a = 0;
            while (k < kept.size() || a < added.size()) {
                const TSpan s = (a == added.size() || (k < kept.size() && kept[k].left < added[a].left)) ? kept[k++]
                                                                                                           : added[a++];
                AddSpan(out, band, s.left, s.right, y, next);
            }
        }
        y = next;
    }
    rects_.swap(out);
    JoinEqualBands();
}

void TSmlRegion::JoinEqualBands() {
    std::size_t kept = 0;      // the bands kept so far fill rects_[0, kept)
    std::size_t previous = 0;  // first rectangle of the last band kept
    for (std::size_t i = 0; i < rects_.size();) {
        const std::size_t end = BandEnd(rects_, i);
        const std::size_t count = end - i;
        bool same = previous < kept && kept - previous == count && rects_[previous].bottom == rects_[i].top;
        for (std::size_t k = 0; same && k < count; ++k)
            same = rects_[previous + k].left == rects_[i + k].left && rects_[previous + k].right == rects_[i + k].right;
        if (same) {
            for (std::size_t k = 0; k < count; ++k) rects_[previous + k].bottom = rects_[i].bottom;
        } else {
            previous = kept;
            for (std::size_t k = 0; k < count; ++k) rects_[kept++] = rects_[i + k];  // kept <= i: never ahead
        }
        i = end;
    }
    rects_.resize(kept);
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
