#include "render/mesh_export.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/hair_color.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

constexpr int kRingSize = 4;        // vertices around one hair point
constexpr int kQuadsPerSegment = 4;  // the faces of one tube segment
constexpr int kQuadSize = 4;
constexpr int kStride = 4;  // doubles per position or normal, bytes per colour
constexpr const char *kHairsNameFormat = "%s-hairs";

// The one hair mesh element of the host scene, kept between drawings so that later drawings
// replace its geometry instead of adding meshes.
struct HairMeshElement {
    SAA_Elem element{};
    bool exists = false;
    std::string output_name;
    bool last_save_failed = false;  // the host refused the last mesh handed over
};

HairMeshElement &hair_mesh() {
    static HairMeshElement mesh;
    return mesh;
}

const SAA_Scene *host_scene() { return &scene_state().scene; }

// Appends the ring of point p: its corners at -S, -N, +S, +N, facing outwards. Normals are of
// unit length (what other tools expect of a mesh); the thickness the vectors were scaled by goes
// into the spare fourth component, so it is not lost.
void add_ring(const HairPoint &p, HairMeshArrays &out) {
    for (int corner = 0; corner < kRingSize; ++corner) {
        const float *axis = (corner % 2 == 0) ? p.side : p.normal;
        const float sign = corner < 2 ? -1.0f : 1.0f;
        const double thickness = std::sqrt(double(axis[0]) * axis[0] + double(axis[1]) * axis[1] +
                                           double(axis[2]) * axis[2]);
        // A ring of no thickness keeps the directions of the ring before it: still of unit length.
        const size_t start = out.normals.size();
        const size_t ring_values = size_t(kRingSize) * kStride;
        const bool inherit = !(thickness > 0.0) && start >= ring_values;
        for (int k = 0; k < 3; ++k) {
            const float offset = sign * axis[k];
            out.positions.push_back(p.position[k] + offset);
            if (thickness > 0.0) out.normals.push_back(offset / thickness);
            else if (inherit) out.normals.push_back(out.normals[start - ring_values + size_t(k)]);
            else out.normals.push_back(k == (corner % 2 == 0 ? 0 : 2) ? sign : 0.0f);
        }
        out.positions.push_back(0.0);
        out.normals.push_back(thickness);
        for (int k = 0; k < 4; ++k) out.colors.push_back(color_component_byte(p.color[k]));
    }
}

// The four quads between the ring starting at b and the one after it.
void add_tube_quads(int b, HairMeshArrays &out) {
    const int quads[kQuadsPerSegment][kQuadSize] = {{b + 5, b + 4, b, b + 1},
                                                    {b + 6, b + 5, b + 1, b + 2},
                                                    {b + 7, b + 6, b + 2, b + 3},
                                                    {b + 4, b + 7, b + 3, b}};
    for (const auto &quad : quads) {
        out.sizes.push_back(kQuadSize);
        out.indices.insert(out.indices.end(), quad, quad + kQuadSize);
    }
}

// Whether the segment starting at `first` continues the one before it (same hair).
bool continues(const HairPoint *previous_first, const HairPoint *first) {
    return previous_first && previous_first->next == first;
}

// Hairs in the list: a hair starts wherever a segment does not continue the previous one.
long count_hairs(const std::vector<HairPoint *> &polygons, long polygon_count) {
    long hairs = 0;
    for (long i = 0; i < polygon_count; ++i)
        if (!continues(i > 0 ? polygons[i - 1] : nullptr, polygons[i])) ++hairs;
    return hairs;
}

// Gives every control vertex of the mesh its vertex's colour and normal. The host returns
// polygons and their control vertices in the order they were given, so the index array names
// the vertex of each control vertex in turn.
int set_control_vertex_attributes(const SAA_Elem &mesh, const HairMeshArrays &arrays) {
    const SAA_Scene *scene = host_scene();
    std::vector<SAA_Elem> polygons;
    try {
        polygons.resize(static_cast<std::size_t>(arrays.polygon_count()));
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "Unable to allocate memory.\n");
        return 1;
    }
    if (SAA_meshGetPolygons(scene, &mesh, arrays.polygon_count(), polygons.data()) != SAA_OK) return 1;
    std::vector<SAA_Elem> corners;
    std::vector<unsigned char> rgba;
    std::vector<double> normals;
    std::size_t next_index = 0;
    for (const SAA_Elem &polygon : polygons) {
        int count = 0;
        if (SAA_polygonGetNbCtrlVertices(scene, &polygon, &count) != SAA_OK) return 1;
        corners.resize(static_cast<std::size_t>(count));
        if (SAA_polygonGetCtrlVertices(scene, &polygon, count, corners.data()) != SAA_OK) return 1;
        if (next_index + static_cast<std::size_t>(count) > arrays.indices.size()) return 1;
        rgba.clear();
        normals.clear();
        for (int c = 0; c < count; ++c) {
            const std::size_t v = static_cast<std::size_t>(arrays.indices[next_index++]);
            rgba.insert(rgba.end(), &arrays.colors[v * kStride], &arrays.colors[v * kStride] + kStride);
            normals.insert(normals.end(), &arrays.normals[v * kStride],
                           &arrays.normals[v * kStride] + kStride);
        }
        if (SAA_polyCtrlVertexSetColors(scene, &mesh, count, corners.data(), rgba.data()) != SAA_OK ||
            SAA_ctrlVertexSetNormals(scene, &mesh, count, corners.data(), normals.data()) != SAA_OK)
            return 1;
    }
    return 0;
}

// Creates the mesh, or replaces the geometry of the one the scene has. A mesh the host no longer
// knows (the scene was reloaded or the element removed) is created anew rather than failing.
int hand_over_geometry(HairMeshElement &mesh, const HairMeshArrays &arrays) {
    const SAA_Scene *scene = host_scene();
    if (mesh.exists) {
        int valid = 0;
        if (SAA_elementIsValid(scene, &mesh.element, &valid) != SAA_OK || !valid) mesh.exists = false;
    }
    if (!mesh.exists) {
        if (SAA_meshCreate(scene, arrays.vertex_count(), arrays.positions.data(), arrays.polygon_count(),
                           arrays.sizes.data(), arrays.indices.data(), &mesh.element) != SAA_OK) {
            std::fprintf(stderr, "Can't create polygon mesh, to save hairs\n");
            return 1;
        }
        mesh.exists = true;
        return 0;
    }
    if (SAA_meshEditExtended(scene, &mesh.element, arrays.vertex_count(), arrays.positions.data(),
                             arrays.polygon_count(), arrays.sizes.data(), arrays.indices.data()) != SAA_OK) {
        std::fprintf(stderr, "Can't edit polygon mesh, to save hairs\n");
        mesh.exists = false;
        return 1;
    }
    return 0;
}

std::string scene_name() {
    const SAA_Scene *scene = host_scene();
    int length = 0;
    if (SAA_sceneGetNameLength(scene, &length) != SAA_OK || length < 0) return {};
    std::string name(static_cast<std::size_t>(length) + 1, '\0');
    if (SAA_sceneGetName(scene, length + 1, name.data()) != SAA_OK) return {};
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    return name;
}

// The stand-alone program keeps no scene around: the mesh goes to a model file and leaves the
// scene again.
int save_and_remove(HairMeshElement &mesh) {
    const SAA_Scene *scene = host_scene();
    std::string file_name = mesh.output_name;
    int rc = SAA_OK;
    if (file_name.empty()) {
        const std::string base = scene_name();
        std::vector<char> name(base.size() + sizeof("-hairs"));
        std::snprintf(name.data(), name.size(), kHairsNameFormat, base.c_str());
        file_name = name.data();
        rc = SAA_elementSetName(scene, &mesh.element, file_name.c_str());
        if (rc == SAA_OK) rc = SAA_elementSave(scene, &mesh.element);
    } else {
        rc = SAA_elementSaveAs(scene, &mesh.element, file_name.c_str());
    }
    if (rc == SAA_OK) {
        status_message(kStatusPlain, "Hair object saved as %s", file_name.c_str());
    } else {
        status_message(kStatusPlain, "Can't save hair object");
    }
    destroy_hair_mesh_element();
    return rc == SAA_OK ? 0 : 1;
}

}  // namespace

bool build_hair_mesh_arrays(const std::vector<HairPoint *> &polygons, long polygon_count,
                            HairMeshArrays &out) {
    out = HairMeshArrays{};
    if (polygon_count < 0 || static_cast<std::size_t>(polygon_count) > polygons.size()) return false;
    const long hairs = count_hairs(polygons, polygon_count);
    // Each hair has one ring more than it has segments.
    const long long vertices = static_cast<long long>(kRingSize) * (polygon_count + hairs);
    const long long quads = static_cast<long long>(kQuadsPerSegment) * polygon_count;
    if (vertices * kStride > INT_MAX || quads * kQuadSize > INT_MAX) return false;
    try {
        out.positions.reserve(static_cast<std::size_t>(vertices * kStride));
        out.normals.reserve(static_cast<std::size_t>(vertices * kStride));
        out.colors.reserve(static_cast<std::size_t>(vertices * kStride));
        out.sizes.reserve(static_cast<std::size_t>(quads));
        out.indices.reserve(static_cast<std::size_t>(quads * kQuadSize));
    } catch (const std::bad_alloc &) {
        out = HairMeshArrays{};
        return false;
    }
    int ring = 0;  // first vertex of the current segment's first ring
    for (long i = 0; i < polygon_count; ++i) {
        if (!polygons[i] || !polygons[i]->next) {
            out = HairMeshArrays{};
            return false;
        }
        const HairPoint &a = *polygons[i];
        if (continues(i > 0 ? polygons[i - 1] : nullptr, &a)) {
            ring += kRingSize;  // the previous segment's end ring
        } else {
            ring = out.vertex_count();
            add_ring(a, out);
        }
        add_ring(*a.next, out);
        add_tube_quads(ring, out);
    }
    return true;
}

namespace {

// Builds the mesh arrays and hands them to the host.
int store_hair_mesh(const std::vector<HairPoint *> &polygons, long polygon_count) {
    HairMeshElement &mesh = hair_mesh();
    HairMeshArrays arrays;
    if (!build_hair_mesh_arrays(polygons, polygon_count, arrays)) {
        std::fprintf(stderr, "Unable to allocate memory.\n");
        return 1;
    }
    if (int rc = hand_over_geometry(mesh, arrays)) return rc;
    if (int rc = set_control_vertex_attributes(mesh.element, arrays)) return rc;
    if (run_state().run_mode == kRunModeStandAlone) return save_and_remove(mesh);
    return 0;
}

}  // namespace

int save_hair_mesh(const std::vector<HairPoint *> &polygons, long polygon_count) {
    const int rc = store_hair_mesh(polygons, polygon_count);
    hair_mesh().last_save_failed = rc != 0;
    return rc;
}

bool hair_mesh_save_failed() { return hair_mesh().last_save_failed; }

void destroy_hair_mesh_element() {
    HairMeshElement &mesh = hair_mesh();
    if (!mesh.exists) return;
    SAA_elementDestroy(host_scene(), &mesh.element);
    mesh.exists = false;
}

bool hair_mesh_exists() { return hair_mesh().exists; }

void set_hair_mesh_output_name(const std::string &name) { hair_mesh().output_name = name; }

}  // namespace vellimor
