// The hair mesh written into the host scene: every hair segment becomes a four-sided tube of
// quads with per-vertex colours and normals, all hairs of a drawing one mesh element.
#pragma once

#include <string>
#include <vector>

#include "render/hair_point.h"

namespace vellimor {

// The arrays of one hair mesh in the layout the host takes them.
struct HairMeshArrays {
    std::vector<double> positions;      // x, y, z and a spare per vertex
    std::vector<double> normals;        // unit x, y, z and the hair's thickness per vertex
    std::vector<unsigned char> colors;  // R, G, B, A per vertex
    std::vector<int> sizes;             // 4 per polygon
    std::vector<int> indices;           // 4 per polygon

    int vertex_count() const { return static_cast<int>(colors.size() / 4); }
    int polygon_count() const { return static_cast<int>(sizes.size()); }
};

// Builds the rings and quads of the polygon list (hair segments in hair order; each entry the
// segment's first point, whose next is the following point). A segment whose first point is not
// the end point of the previous segment starts a new hair. False when memory runs out, an entry
// lacks its end point, or the mesh would be too large for the host's int counts.
bool build_hair_mesh_arrays(const std::vector<HairPoint *> &polygons, long polygon_count,
                            HairMeshArrays &out);

// Writes the hairs of the polygon list into the host scene as one mesh: created by the first
// call, edited in place by later ones. In the stand-alone run mode the mesh is then saved to a
// model file and removed. Returns 0 on success, non-zero on failure.
int save_hair_mesh(const std::vector<HairPoint *> &polygons, long polygon_count);

// Removes the hair mesh element from the host scene when there is one.
void destroy_hair_mesh_element();

// Whether a hair mesh element is in the host scene now.
bool hair_mesh_exists();
// True when the host refused the mesh of the last save (it then holds none of that save's hairs).
bool hair_mesh_save_failed();

// The name the stand-alone save writes the mesh under; empty (the default) names it after the
// scene, "NAME-hairs".
void set_hair_mesh_output_name(const std::string &name);

}  // namespace vellimor
