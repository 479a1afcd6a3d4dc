// Polygon meshes: creation and replacement of their geometry, polygons and control vertices in
// the order given, colours and normals, saving as PLY into the database's MODELS directory.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "saa/atomic_file.h"
#include "saa/elements.h"
#include "saa/host_state.h"
#include "saa/ply_writer.h"
#include "saa/surfaces.h"
#include "saa/transforms.h"

namespace vellimor::saa {

namespace {

constexpr int kPositionStride = 4;  // x, y, z and a spare per vertex
constexpr const char *kDefaultMeshName = "mesh";

// Builds mesh geometry from the caller's arrays, checking every count and index.
int build_mesh(int nb_vertices, const double *positions, int nb_polygons, const int *sizes, const int *indices,
               Mesh &mesh) {
    if (nb_vertices < 0 || nb_polygons < 0 || nb_vertices > kMaxSurfaceVertices ||
        nb_polygons > kMaxSurfaceVertices)
        return fail(SAA_ERR_ARGUMENT, "mesh counts out of range");
    if ((nb_vertices > 0 && !positions) || (nb_polygons > 0 && (!sizes || !indices)))
        return fail(SAA_ERR_ARGUMENT, "null mesh array");
    long long corners = 0;
    for (int p = 0; p < nb_polygons; ++p) {
        if (sizes[p] < 3 || sizes[p] > kMaxSurfaceVertices)
            return fail(SAA_ERR_ARGUMENT, "polygon " + std::to_string(p) + " has " + std::to_string(sizes[p]) +
                                              " vertices");
        corners += sizes[p];
        if (corners > kMaxSurfaceVertices) return fail(SAA_ERR_ARGUMENT, "too many polygon corners");
    }
    for (long long i = 0; i < corners; ++i)
        if (indices[i] < 0 || indices[i] >= nb_vertices)
            return fail(SAA_ERR_ARGUMENT, "polygon vertex index " + std::to_string(indices[i]) + " out of range");
    for (int i = 0; i < nb_vertices * kPositionStride; ++i)
        if (i % kPositionStride != 3 && !std::isfinite(positions[i]))
            return fail(SAA_ERR_ARGUMENT, "mesh positions must be finite");
    Mesh built;
    built.positions.resize(static_cast<std::size_t>(nb_vertices));
    for (int i = 0; i < nb_vertices; ++i)
        for (int k = 0; k < 3; ++k) built.positions[static_cast<std::size_t>(i)][k] = positions[i * kPositionStride + k];
    built.normals.assign(built.positions.size(), Vec3{0, 0, 0});
    built.thickness.assign(built.positions.size(), 0.0);
    built.colors.assign(built.positions.size(), Rgba{255, 255, 255, 255});
    built.sizes.assign(sizes, sizes + nb_polygons);
    built.indices.assign(indices, indices + corners);
    built.starts.resize(built.sizes.size());
    int start = 0;
    for (std::size_t p = 0; p < built.sizes.size(); ++p) {
        built.starts[p] = start;
        start += built.sizes[p];
    }
    mesh = std::move(built);
    return SAA_OK;
}

Model *mesh_model_of(const SAA_Scene *scene, const SAA_Elem *element, int &status) {
    Model *m = model_of(scene, element, status);
    if (m && !m->mesh) {
        status = fail(SAA_ERR_INVALID, "model " + m->name + " is not a polygon mesh");
        return nullptr;
    }
    return m;
}

// The corner a control-vertex handle names, if it belongs to the given mesh model.
const int *corner_of(const Scene &scene, const SAA_Elem *mesh, const SAA_Elem &cv) {
    if (cv.kind != kElemCtrlVertex || cv.id != mesh->id || !mesh_part_of(scene, cv)) return nullptr;
    return &scene.models[cv.id].mesh->indices[cv.sub];
}

bool is_directory(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A plain name goes to MODELS/NAME.ply; a name with a directory is a path of its own. A ".hrc"
// ending (the designer's model file pattern) becomes ".ply".
int model_file_path(const std::string &name, std::string &path) {
    if (name.empty() || name == "." || name == "..") return fail(SAA_ERR_ARGUMENT, "no file name to save under");
    std::string file = name;
    auto ends_with = [&](const char *ext) {
        std::string e = ext;
        return file.size() > e.size() && file.compare(file.size() - e.size(), e.size(), e) == 0;
    };
    if (ends_with(".hrc")) file.resize(file.size() - 4);
    if (!ends_with(".ply")) file += ".ply";
    if (name.find('/') != std::string::npos) {
        path = file;
        return SAA_OK;
    }
    if (!host().has_database) return fail(SAA_ERR_NOT_FOUND, "no database to save " + name + " into");
    std::string dir = host().database_path + "/MODELS";
    if (!is_directory(dir) && ::mkdir(dir.c_str(), 0777) != 0 && !is_directory(dir))
        return fail(SAA_ERR_IO, "cannot create " + dir);
    path = dir + "/" + file;
    return SAA_OK;
}

int save_element(const SAA_Scene *scene, const SAA_Elem *element, const std::string *name) {
    int status = SAA_OK;
    Model *m = mesh_model_of(scene, element, status);
    if (!m) return status;
    return guarded([&]() -> int {
        std::string path;
        if (int s = model_file_path(name ? *name : m->name, path)) return s;
        try {
            write_file_atomically(path, ply_bytes(*m->mesh));
        } catch (const WriteError &e) {
            return fail(SAA_ERR_IO, e.what());
        }
        return SAA_OK;
    });
}

}  // namespace

}  // namespace vellimor::saa

using namespace vellimor::saa;

extern "C" int SAA_meshCreate(const SAA_Scene *scene, int nb_vertices, const double *positions, int nb_polygons,
                              const int *polygon_sizes, const int *indices, SAA_Elem *mesh) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!mesh) return fail(SAA_ERR_ARGUMENT, "null mesh handle");
    return guarded([&]() -> int {
        Model model;
        model.mesh = std::make_unique<Mesh>();
        if (int st = build_mesh(nb_vertices, positions, nb_polygons, polygon_sizes, indices, *model.mesh)) return st;
        model.name = kDefaultMeshName;
        model.type = SAA_MODEL_MESH;
        model.serial = new_serial();
        model.current = model.rest;
        model.matrix = identity_matrix();
        s->models.push_back(std::move(model));
        *mesh = model_handle(*s, s->models.size() - 1);
        return SAA_OK;
    });
}

extern "C" int SAA_meshEditExtended(const SAA_Scene *scene, const SAA_Elem *mesh, int nb_vertices,
                                    const double *positions, int nb_polygons, const int *polygon_sizes,
                                    const int *indices) {
    int status = SAA_OK;
    Model *m = mesh_model_of(scene, mesh, status);
    if (!m) return status;
    return guarded([&]() -> int { return build_mesh(nb_vertices, positions, nb_polygons, polygon_sizes, indices, *m->mesh); });
}

extern "C" int SAA_meshGetNbPolygons(const SAA_Scene *scene, const SAA_Elem *mesh, int *count) {
    int status = SAA_OK;
    Model *m = mesh_model_of(scene, mesh, status);
    if (!m) return status;
    if (!count) return fail(SAA_ERR_ARGUMENT, "null count pointer");
    *count = static_cast<int>(m->mesh->sizes.size());
    return SAA_OK;
}

extern "C" int SAA_meshGetPolygons(const SAA_Scene *scene, const SAA_Elem *mesh, int count, SAA_Elem *polygons) {
    int status = SAA_OK;
    Model *m = mesh_model_of(scene, mesh, status);
    if (!m) return status;
    if (count < 0 || static_cast<std::size_t>(count) > m->mesh->sizes.size() || (count > 0 && !polygons))
        return fail(SAA_ERR_ARGUMENT, "polygon count out of range");
    for (int p = 0; p < count; ++p) polygons[p] = SAA_Elem{kElemPolygon, mesh->id, static_cast<unsigned>(p), m->serial};
    return SAA_OK;
}

extern "C" int SAA_polygonGetNbCtrlVertices(const SAA_Scene *scene, const SAA_Elem *polygon, int *count) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!polygon || !count) return fail(SAA_ERR_ARGUMENT, "null argument");
    const Mesh *mesh = polygon->kind == kElemPolygon ? mesh_part_of(*s, *polygon) : nullptr;
    if (!mesh) return fail(SAA_ERR_INVALID, "not a polygon of the current scene");
    *count = mesh->sizes[polygon->sub];
    return SAA_OK;
}

extern "C" int SAA_polygonGetCtrlVertices(const SAA_Scene *scene, const SAA_Elem *polygon, int count,
                                          SAA_Elem *ctrl_vertices) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!polygon) return fail(SAA_ERR_ARGUMENT, "null polygon");
    const Mesh *mesh = polygon->kind == kElemPolygon ? mesh_part_of(*s, *polygon) : nullptr;
    if (!mesh) return fail(SAA_ERR_INVALID, "not a polygon of the current scene");
    if (count < 0 || count > mesh->sizes[polygon->sub] || (count > 0 && !ctrl_vertices))
        return fail(SAA_ERR_ARGUMENT, "control vertex count out of range");
    unsigned first = static_cast<unsigned>(mesh->starts[polygon->sub]);
    for (int k = 0; k < count; ++k)
        ctrl_vertices[k] = SAA_Elem{kElemCtrlVertex, polygon->id, first + static_cast<unsigned>(k), polygon->serial};
    return SAA_OK;
}

extern "C" int SAA_polyCtrlVertexSetColors(const SAA_Scene *scene, const SAA_Elem *mesh, int count,
                                           const SAA_Elem *ctrl_vertices, const unsigned char *rgba) {
    int status = SAA_OK;
    Model *m = mesh_model_of(scene, mesh, status);
    if (!m) return status;
    if (count < 0 || (count > 0 && (!ctrl_vertices || !rgba))) return fail(SAA_ERR_ARGUMENT, "bad colour arrays");
    const Scene &s = host().scene;
    for (int i = 0; i < count; ++i)
        if (!corner_of(s, mesh, ctrl_vertices[i])) return fail(SAA_ERR_INVALID, "not a control vertex of this mesh");
    for (int i = 0; i < count; ++i) {
        Rgba &c = m->mesh->colors[static_cast<std::size_t>(*corner_of(s, mesh, ctrl_vertices[i]))];
        std::copy_n(rgba + 4 * i, 4, c.begin());
    }
    return SAA_OK;
}

extern "C" int SAA_ctrlVertexSetNormals(const SAA_Scene *scene, const SAA_Elem *mesh, int count,
                                        const SAA_Elem *ctrl_vertices, const double *normals) {
    int status = SAA_OK;
    Model *m = mesh_model_of(scene, mesh, status);
    if (!m) return status;
    if (count < 0 || (count > 0 && (!ctrl_vertices || !normals))) return fail(SAA_ERR_ARGUMENT, "bad normal arrays");
    const Scene &s = host().scene;
    for (int i = 0; i < count; ++i) {
        if (!corner_of(s, mesh, ctrl_vertices[i])) return fail(SAA_ERR_INVALID, "not a control vertex of this mesh");
        for (int k = 0; k < 3; ++k)
            if (!std::isfinite(normals[kPositionStride * i + k])) return fail(SAA_ERR_ARGUMENT, "normals must be finite");
    }
    for (int i = 0; i < count; ++i) {
        const auto v = static_cast<std::size_t>(*corner_of(s, mesh, ctrl_vertices[i]));
        Vec3 &n = m->mesh->normals[v];
        for (int k = 0; k < 3; ++k) n[k] = normals[kPositionStride * i + k];
        const double w = normals[kPositionStride * i + 3];
        if (v < m->mesh->thickness.size()) m->mesh->thickness[v] = std::isfinite(w) ? w : 0.0;
    }
    return SAA_OK;
}

extern "C" int SAA_elementSave(const SAA_Scene *scene, const SAA_Elem *element) {
    return save_element(scene, element, nullptr);
}

extern "C" int SAA_elementSaveAs(const SAA_Scene *scene, const SAA_Elem *element, const char *name) {
    if (!name) return fail(SAA_ERR_ARGUMENT, "null name");
    return guarded([&]() -> int {
        std::string given = name;
        return save_element(scene, element, &given);
    });
}

// Removes a model from the scene; its handle (and those of its polygons) go stale.
extern "C" int SAA_elementDestroy(const SAA_Scene *scene, const SAA_Elem *element) {
    int status = SAA_OK;
    Model *m = model_of(scene, element, status);
    if (!m) return status;
    *m = Model{};
    m->alive = false;
    auto &selection = host().selection;
    selection.erase(std::remove_if(selection.begin(), selection.end(),
                                   [&](const SAA_Elem &e) { return e.id == element->id && e.kind != kElemLight &&
                                                                   e.kind != kElemCamera; }),
                    selection.end());
    return SAA_OK;
}
