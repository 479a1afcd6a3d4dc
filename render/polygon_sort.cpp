#include "render/polygon_sort.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#include "hair/random_generators.h"
#include "host/status.h"

namespace vellimor {
namespace {

// A polygon as the sort sees it: its key beside its place in the list, so the partition loops
// stream through 8-byte entries instead of reading a cache line per polygon.
struct SortEntry {
    float key;
    uint32_t polygon;
};

// Hoare's quicksort, farthest first, pivots from the process-wide generator drawn in the same
// order as ever (the left part is finished before the right one starts), so equal keys end up
// in the same places and the generator is left in the same state.
void sort_entries(SortEntry *entries, long first, long last) {
    while (first < last) {
        const long pivot_index =
            first + long(double(standard_rand()) * double(last - first) / double(kRandom15Max));
        const float pivot = entries[pivot_index].key;
        long i = first;
        long j = last;
        do {
            while (entries[j].key < pivot) --j;
            while (entries[i].key > pivot) ++i;
            if (i <= j) {
                std::swap(entries[i], entries[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        sort_entries(entries, first, j);
        first = i;  // the right part, as a loop: the same calls in the same order
    }
}

}  // namespace

bool build_polygon_list(std::vector<HairStrand> &strands, long polygon_count, PolygonList &list) {
    list.clear();
    try {
        list.reserve(size_t(polygon_count > 0 ? polygon_count : 0));
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, draw2");
        return false;
    }
    for (HairStrand &strand : strands) {
        for (int i = 0; i < strand.segments; ++i) {
            HairPoint *point = &strand.points[i];
            point->next = point + 1;
            if (list.size() == list.capacity()) break;  // never more than the count promised
            list.push_back(point);
        }
    }
    return true;
}

void sort_polygons(PolygonList &list, long first, long last) {
    if (first < 0) first = 0;
    if (last >= long(list.size())) last = long(list.size()) - 1;
    if (first >= last) return;
    const size_t count = size_t(last - first + 1);
    std::vector<SortEntry> entries;
    PolygonList sorted;
    try {
        entries.resize(count);
        sorted.resize(count);
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, draw2");
        return;
    }
    for (size_t k = 0; k < count; ++k) entries[k] = {list[size_t(first) + k]->eye_distance, uint32_t(k)};
    sort_entries(entries.data(), 0, long(count) - 1);
    for (size_t k = 0; k < count; ++k) sorted[k] = list[size_t(first) + entries[k].polygon];
    std::copy(sorted.begin(), sorted.end(), list.begin() + first);
}

}  // namespace vellimor
