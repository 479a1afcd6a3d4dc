// The polygon list of one drawing (one entry per hair segment, naming the segment's first point)
// and its back-to-front order.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

#include "render/hair_point.h"

namespace vellimor {

using PolygonList = std::vector<HairPoint *>;
struct SortEntry;

// One entry per segment of every strand, in strand order, and each segment's first point
// linked to the point after it. False (after reporting) when memory runs out.
bool build_polygon_list(std::vector<HairStrand> &strands, long polygon_count, PolygonList &list);

// Sorts list[first..last] in place by eye distance, farthest first: a quicksort whose pivots
// come from the process-wide 15-bit generator, so a drawing repeats exactly.
void sort_polygons(PolygonList &list, long first, long last);

// The same sort of a whole list on a thread of its own, so that drawing can start on the
// farthest polygons while the nearer ones are still being sorted: the list ends in the same
// order and the generator in the same state. While it runs, the process-wide generator is the
// sort's, and only the polygons wait_until_sorted has waited for may be read. The destructor
// waits for the sort to end.
class BackgroundDepthSort {
public:
    explicit BackgroundDepthSort(PolygonList &list);
    ~BackgroundDepthSort();
    BackgroundDepthSort(const BackgroundDepthSort &) = delete;
    BackgroundDepthSort &operator=(const BackgroundDepthSort &) = delete;

    bool sorts(const PolygonList &list) const { return &list == &list_; }
    // Blocks until the first `count` polygons (or all) are in their final places.
    void wait_until(std::size_t count) const;

private:
    void sort();

    PolygonList &list_;
    PolygonList unsorted_;
    std::vector<SortEntry> entries_;
    mutable std::atomic<std::size_t> sorted_{0};
    std::thread thread_;
};

// Blocks until the first `count` polygons of `list` are in their final places when a background
// sort of that list is running; returns at once otherwise.
void wait_until_sorted(const PolygonList &list, std::size_t count);

}  // namespace vellimor
