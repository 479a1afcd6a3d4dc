// Hair geometry: for every drawing the roots of each surface are grown into hairs (segments,
// length, direction with the per-hair random wave, bend, wind, surface motion, gravity nulls) and
// every point gets its lit colour and thickness. Nothing of the shape is stored between drawings.
#pragma once

#include <vector>

#include "render/hair_point.h"

namespace vellimor {

struct PatchData;
struct DisplaySettings;

// The buffers of one drawing, owned by the drawing driver and filled by hair_geometry().
struct HairDrawing {
    float eye[3] = {};  // camera position, for the eye distances
    PointPool pool;
    // One entry per drawn hair in surface order; the driver sizes it to the drawn total first.
    std::vector<HairStrand> strands;
    // Draw mode 8 only: one point array per drawn hair, parallel to strands.
    std::vector<std::vector<HairExportPoint>> exports;
    long point_total = 0;  // sum of the segment counts of all strands (the polygon count)
    int hair_total = 0;    // drawn hairs of the surfaces done so far
    bool abort = false;    // set when Escape ended the pass

    // Frees every buffer (the end of a drawing).
    void clear();
};

enum class GeometryResult { kDone, kAborted, kFailed };

// True when surface `record` is drawn in this draw mode (not deleted, and selected, always drawn
// or a mode that draws all surfaces).
bool surface_takes_part(const PatchData &record, int mode);
// Number of hairs the surface contributes in this mode: a preview of a surface built in full
// density draws only preview_fraction of its roots.
int surface_drawn_count(const PatchData &record, int mode, const DisplaySettings &settings);
// The root that drawn hair k of the surface grows from (spread evenly over the roots in a
// preview of a full build).
int drawn_root_index(const PatchData &record, int mode, int k, int drawn_count);
// Sum of surface_drawn_count over the surfaces that take part: the size of the strand array.
int drawn_hair_total(int mode, const DisplaySettings &settings);

// Grows every drawn hair of every surface taking part in this mode into drawing.strands (and
// drawing.exports in mode 8), using the scene's gravity nulls, lights and wind tables at `frame`
// (-1: the current frame). Surfaces must have up-to-date channel maps. kAborted sets
// drawing.abort; kFailed has reported "Can't allocate more memory, ..." as an error.
GeometryResult hair_geometry(HairDrawing &drawing, int mode, bool alpha, int frame);

// Re-reads the global position and scaling of every gravity null of the scene into the scene's
// gravity table (at the start of every drawing).
void update_gravity_nulls();

}  // namespace vellimor
