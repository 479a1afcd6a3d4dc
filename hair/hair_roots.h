// Hair roots: reproducible random points in every cell of a surface, thinned by the density
// channel, each with its world position and an orthonormal frame from the host's evaluation.
#pragma once

namespace vellimor {

struct ModelMatrix;

// Places the roots of surface p into the array reserved by Subdivide_patch, using the surface's
// model matrix. Returns false when Escape aborted the placement (the array is then partly filled
// and the cell counts partly updated). A failed host evaluation ends the process.
bool build_hairs(int p, const ModelMatrix &matrix);

}  // namespace vellimor
