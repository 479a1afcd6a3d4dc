#include "render/polygon_sort.h"

#include <new>
#include <utility>

#include "hair/random_generators.h"
#include "host/status.h"

namespace vellimor {

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
    if (first >= last) return;
    const long pivot_index =
        first + long(double(standard_rand()) * double(last - first) / double(kRandom15Max));
    const float pivot = list[size_t(pivot_index)]->eye_distance;
    long i = first;
    long j = last;
    do {
        while (list[size_t(j)]->eye_distance < pivot) --j;
        while (list[size_t(i)]->eye_distance > pivot) ++i;
        if (i <= j) {
            std::swap(list[size_t(i)], list[size_t(j)]);
            ++i;
            --j;
        }
    } while (i <= j);
    sort_polygons(list, first, j);
    sort_polygons(list, i, last);
}

}  // namespace vellimor
