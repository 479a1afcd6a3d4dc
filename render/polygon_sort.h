// The polygon list of one drawing (one entry per hair segment, naming the segment's first point)
// and its back-to-front order.
#pragma once

#include <vector>

#include "render/hair_point.h"

namespace vellimor {

using PolygonList = std::vector<HairPoint *>;

// One entry per segment of every strand, in strand order, and each segment's first point
// linked to the point after it. False (after reporting) when memory runs out.
bool build_polygon_list(std::vector<HairStrand> &strands, long polygon_count, PolygonList &list);

// Sorts list[first..last] in place by eye distance, farthest first: a quicksort whose pivots
// come from the process-wide 15-bit generator, so a drawing repeats exactly.
void sort_polygons(PolygonList &list, long first, long last);

}  // namespace vellimor
