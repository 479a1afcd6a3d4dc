// The hairs' everyday drawing: every segment as the ribbon its tube shows the camera (the
// outline of the tube's two visible faces, without the ridge between them), drawn on every core
// into the current window's colour and depth. The picture is the tube drawing's within a level
// or two per pixel, at a fraction of its cost; the tubes themselves stay for exact pictures.
#pragma once

#include "render/polygon_sort.h"

namespace vellimor {

// True when the current OpenGL state is one the ribbons draw as OpenGL would: blending off or
// by source alpha, every colour channel written. Otherwise the tubes are drawn.
bool hair_ribbons_fit_current_state();

// Counts a HairDrawingReuse in (true) or out (false): while one lives, the bands a drawing of a
// sorted list placed its ribbons in are kept for the next drawing of that list.
void keep_hair_ribbon_bands(bool keep);

// Draws the sorted polygons as ribbons with the current projection, model-view, viewport,
// scissor, depth test and blending. In the alpha pass every corner is white with its point's
// alpha. Returns 1 when done, 0 when Escape stopped it (what was drawn stays).
int draw_hair_ribbons(const PolygonList &list, bool alpha);

}  // namespace vellimor
