// Hairs as curves for other tools: every drawn hair of a mode 8 drawing becomes one polyline
// through the very points the renderer draws, with a width from the thickness ramp and the hair's
// own colour (before lighting: the receiving renderer lights it). Written as USD text layers
// (BasisCurves) and as PLY files of vertices and edges.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/hair_geometry.h"

namespace vellimor {

// The hairs of one surface at one frame.
struct SurfaceCurves {
    std::string surface;              // the surface's name
    std::vector<int> vertex_counts;   // points of each hair, in drawing order (at least 2)
    std::vector<float> points;        // x, y, z of every point, world space
    std::vector<float> widths;        // every point's width: twice its thickness
    std::vector<float> colors;        // R, G, B of every point, 0..1
    std::vector<float> opacities;     // every point's alpha, 0..1

    std::size_t point_count() const { return widths.size(); }
};

struct FrameCurves {
    int frame = 0;
    std::vector<SurfaceCurves> surfaces;  // every surface drawn in mode 8, in scene order
};

// The curves of a finished mode 8 drawing: one SurfaceCurves per surface taking part, hairs that
// grew no segment left out.
FrameCurves curves_of_drawing(const HairDrawing &drawing, int frame);

// A USD text layer holding the hairs of every frame added: one Xform named after the scene with
// one BasisCurves prim per surface (type linear, curveVertexCounts, points, widths,
// primvars:displayColor and primvars:displayOpacity per vertex, extent). An attribute that holds
// the same values at every frame is written once as its default value; one that changes, as time
// samples.
class UsdCurvesLayer {
public:
    UsdCurvesLayer(std::string scene_name, double frames_per_second);
    void add_frame(const FrameCurves &frame);
    // The whole layer text.
    std::string text() const;

private:
    // The values of one attribute at every frame added; a frame with the values of the frame
    // before shares its text.
    struct Attribute {
        std::vector<std::pair<int, std::shared_ptr<const std::string>>> samples;
        bool varies = false;
        void add(int frame, std::string value);
    };
    struct Prim {
        std::string surface;
        std::string name;  // a valid, unique prim name
        Attribute counts, points, widths, colors, opacities, extent;
    };
    std::string attribute_text(const char *declaration, const Attribute &attribute, bool per_vertex) const;
    Prim &prim_of(const std::string &surface);

    std::string scene_name_;
    double frames_per_second_;
    std::vector<Prim> prims_;
    std::vector<int> frames_;
};

// A USD identifier made from any name: letters, digits and '_', not starting with a digit.
std::string usd_identifier(const std::string &name);

// One frame as a binary little-endian PLY: element vertex (x y z thickness as float, red green
// blue alpha as uchar) and element edge (vertex1 vertex2 as int), one edge per hair segment.
std::string curves_ply_bytes(const FrameCurves &frame, const std::string &scene_name);

}  // namespace vellimor
