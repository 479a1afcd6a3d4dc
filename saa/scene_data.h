// The host stand-in's in-memory scene: plain records that the scene file fills and that every
// SAA_ operation reads. Geometry is kept in double precision so that a scene file round-trips
// exactly; operations that hand out floats convert at the boundary.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vellimor::saa {

using Vec3 = std::array<double, 3>;
using Vec4 = std::array<double, 4>;
using Matrix4 = std::array<std::array<double, 4>, 4>;

// A transform applied to row vectors as scaling, then rotation about X, Y and Z (degrees), then
// translation: M = S·Rx·Ry·Rz·T.
struct Transform {
    Vec3 translation{0, 0, 0};
    Vec3 rotation{0, 0, 0};
    Vec3 scaling{1, 1, 1};
};

struct TransformKey {
    double frame = 0;
    Transform value;
};

enum class KeyInterpolation { linear, smooth };

// Patch surface: a grid of nb_u × nb_v vertices, u varying fastest.
enum PatchType { kPatchLinear = 0, kPatchBezier = 1, kPatchBSpline = 2, kPatchCardinal = 3 };

struct PatchDirection {
    int type = kPatchBSpline;
    int count = 0;
    bool closed = false;
};

struct PatchSurface {
    PatchDirection u, v;
    std::vector<Vec3> vertices;
};

// NURBS surface: full knot vectors (count + degree + 1 knots per direction), control points
// (x, y, z, weight) as stored, u varying fastest, and their homogeneous form (w·x, w·y, w·z, w)
// that evaluation uses.
struct NurbsDirection {
    int degree = 3;
    int count = 0;
    bool closed = false;
    std::vector<double> knots;
};

struct NurbsSurface {
    NurbsDirection u, v;
    std::vector<Vec4> points;
    std::vector<Vec4> homogeneous;
};

using Rgba = std::array<std::uint8_t, 4>;

// Polygon mesh. Polygon p uses indices[starts[p] .. starts[p] + sizes[p]); a control vertex is
// one such corner, and colours and normals set on it land on the vertex it uses.
struct Mesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<double> thickness;  // the fourth component of each normal (0 unless set)
    std::vector<Rgba> colors;
    std::vector<int> sizes;
    std::vector<int> starts;
    std::vector<int> indices;
};

struct UserBlock {
    std::vector<std::uint8_t> bytes;
    bool big_endian = false;
};

struct Model {
    std::uint32_t serial = 0;
    bool alive = true;
    std::string name;
    int type = 0;
    int wire_type = 0;
    Transform rest;  // used when there are no keys
    std::vector<TransformKey> keys;  // sorted by frame
    KeyInterpolation interpolation = KeyInterpolation::linear;
    std::unique_ptr<PatchSurface> patch;
    std::unique_ptr<NurbsSurface> nurbs;
    std::unique_ptr<Mesh> mesh;
    std::map<std::string, UserBlock> user_data;
    // The transform at the scene's evaluation time, refreshed whenever that time changes.
    Transform current;
    Matrix4 matrix{};
};

struct Light {
    std::uint32_t serial = 0;
    std::string name;
    Vec3 position{0, 0, 0};
    Vec3 color{1, 1, 1};
    double shadow = 0.5;
    int shadow_type = 0;
    double start = 0;
    double end = 100000.0;
    int wire_type = 0;
};

struct Camera {
    std::uint32_t serial = 0;
    std::string name;
    Vec3 position{0, 0, 10};
    Vec3 interest{0, 0, 0};
    double fov = 40.0;
    double near_plane = 0.1;
    double far_plane = 1000.0;
    double aspect = 4.0 / 3.0;
};

struct PlayControl {
    int start = 1;
    int end = 30;
    int step = 1;
    double frame_rate = 24.0;
    int current = 1;
};

struct Scene {
    std::string name;
    std::string prefix;
    PlayControl play;
    int x_resolution = 640;
    int y_resolution = 480;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::vector<Model> models;  // removed models stay as tombstones so handles keep their index
};

constexpr int kSceneFormatVersion = 1;

}  // namespace vellimor::saa
