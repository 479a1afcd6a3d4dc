// Function curves: one per animated parameter group, one component curve per float of the group,
// all kept in one process-wide list and found by id. A group names its curve only by that id
// (0: not animated).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "fcurve/hermite_curve.h"

namespace vellimor {

// A curve has at most this many components (the groups use at most four).
inline constexpr int kFCurveMaxComponents = 5;

struct FCurveLimit {
    int16_t has_min = 0;
    int16_t has_max = 0;
    float min = 0;
    float max = 0;
    std::unique_ptr<Herm> curve;
};

struct FCurve {
    int32_t id = 0;
    int32_t type = 0;       // number of components of the group
    int32_t nb_curves = 0;  // component curves; equal to type
    int32_t use[kFCurveMaxComponents] = {};
    FCurveLimit limits[kFCurveMaxComponents];
};

// A new empty record (no components used, no curves). Out of memory ends the process.
std::unique_ptr<FCurve> fcurve_alloc();

// A curve of `type` components, each a single key (frame, values[i]) drawn in its component's
// colour, added to the list. Returns its id, or 0 for a type outside 1..5 or too few values.
int fcurve_create(int type, float frame, std::span<const float> values);

// Takes the record into the list under its id, or under a fresh id when another curve has that
// one. Returns the id it now has, or 0 (and drops the record) when its id is 0.
int fcurve_add_to_list(std::unique_ptr<FCurve> fcurve);

FCurve *fcurve_find(int id);
// The next id no curve in the list has.
int fcurve_new_id();
void fcurve_delete(int id);
void fcurve_delete_all();
int fcurve_count();
// The ids of the curves in list order.
std::vector<int> fcurve_ids();

// Writes the curve's values at `frame` into the group's floats when any used component's value
// differs from what the group holds (unused components then become 0). Returns 1 when it wrote.
// Never writes past values.size().
int fcurve_query(int id, int frame, std::span<float> values);

// Each returns 1 on success, 0 for an unknown id or a component number out of range.
int fcurve_set_use(int id, int i, int flag);
int fcurve_set_color(int id, int i, float r, float g, float b);
int fcurve_set_limits(int id, int i, int has_min, int has_max, float min, float max);

}  // namespace vellimor
