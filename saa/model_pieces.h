// What the model file readers hand on: polygon meshes and free-form (B-spline) surfaces as the
// file states them, in scene space, before they become the scene's patch and NURBS models.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "saa/scene_data.h"

namespace vellimor::saa {

// A file that can't be imported at all; the text is "FILE:LINE: what".
struct ModelFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Polygons as lists of indices into `positions`, polygon p using indices[starts[p] ..
// starts[p] + sizes[p]).
struct PolygonMesh {
    std::string name;
    std::vector<Vec3> positions;
    std::vector<int> sizes;
    std::vector<int> indices;
    // The file's front faces wind clockwise (USD "leftHanded").
    bool clockwise = false;
};

// One direction of a B-spline surface: its degree, full knot vector, and the part of the knots'
// domain the file asks for.
struct FreeformDirection {
    int degree = 3;
    int count = 0;  // control points
    std::vector<double> knots;
    bool has_range = false;
    double range_start = 0, range_end = 0;
};

struct FreeformSurface {
    std::string name;
    int line = 0;  // where the file states it, for messages
    FreeformDirection u, v;
    std::vector<Vec4> points;  // (x, y, z, weight), u varying fastest
    // Fur goes on the file's v × u side instead of u × v (USD "leftHanded").
    bool clockwise = false;
};

// Everything a file holds that may become a surface, and one line per object that can't.
struct ModelPieces {
    std::vector<PolygonMesh> meshes;
    std::vector<FreeformSurface> surfaces;
    std::vector<std::string> refused;   // "NAME: why it is skipped"
    std::vector<std::string> warnings;  // imported, with a caveat
};

// Files larger than this are refused before they are read.
constexpr long long kMaxModelFileBytes = 1LL << 30;

// "FILE:LINE: what", thrown.
[[noreturn]] inline void model_file_error(const std::string &file, int line, const std::string &what) {
    throw ModelFileError(file + ":" + std::to_string(line) + ": " + what);
}

ModelPieces read_obj_text(const std::string &text, const std::string &file);
ModelPieces read_usda_text(const std::string &text, const std::string &file);

}  // namespace vellimor::saa
