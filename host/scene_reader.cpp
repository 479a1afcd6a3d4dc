#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "hair/shadows.h"
#include "hair/wind_tables.h"
#include "host/designer_link.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {
namespace {

constexpr const char *kGravityPrefix = "Gravity";
constexpr const char *kWindPrefix = "Wind";
// A play range longer than this is refused rather than allocated (a corrupt scene).
constexpr long long kMaxPlayRangeFrames = 10000000;

enum PatchType { kLinear = 0, kBezier = 1, kBSpline = 2, kCardinal = 3 };

bool starts_with(const std::string &name, const char *prefix) {
    return name.compare(0, std::strlen(prefix), prefix) == 0;
}

int element_name(const SAA_Scene &scene, const SAA_Elem &element, std::string &name) {
    int length = 0;
    if (int rc = SAA_elementGetNameLength(&scene, &element, &length)) return rc;
    if (length < 0) length = 0;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    if (int rc = SAA_elementGetName(&scene, &element, length + 1, buffer.data())) return rc;
    name.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return 0;
}

// The database and scene: loaded by name in the stand-alone mode, the host's current ones
// otherwise. An empty scene name keeps the scene the host has current.
int acquire_scene(SceneState &s, const char *scene_name, const char *database_name) {
    const bool stand_alone = run_state().run_mode == kRunModeStandAlone;
    if (scene_name && *scene_name) {
        const int rc = stand_alone ? SAA_databaseLoad(database_name, &s.database)
                                   : SAA_databaseGetCurrent(&s.database, 1);
        if (rc) return rc;
        if (int r = SAA_sceneGetCurrent(&s.scene)) return r;
        if (stand_alone) {
            if (int r = SAA_sceneLoad(&s.database, scene_name, &s.scene)) return r;
        }
        return 0;
    }
    // The host resolves its current scene; a host without one leaves the handle as it was.
    SAA_Scene current{};
    if (SAA_sceneGetCurrent(&current) == 0) s.scene = current;
    return 0;
}

int read_play_control(SceneState &s) {
    if (int rc = SAA_sceneGetPlayCtrlStartFrame(&s.scene, &s.start_frame)) return rc;
    if (int rc = SAA_sceneGetPlayCtrlEndFrame(&s.scene, &s.end_frame)) return rc;
    if (int rc = SAA_sceneGetPlayCtrlFrameStep(&s.scene, &s.frame_step)) return rc;
    if (int rc = SAA_sceneGetPlayCtrlFrameRate(&s.scene, &s.frame_rate)) return rc;
    return SAA_sceneGetPlayCtrlCurrentFrame(&s.scene, &s.current_frame);
}

int read_camera(SceneState &s) {
    if (int rc = SAA_sceneGetNbCameras(&s.scene, &s.camera_count)) return rc;
    if (s.camera_count < 1) return 0;  // no camera: the aspect keeps its value
    if (int rc = SAA_sceneGetCameras(&s.scene, 1, &s.camera)) return rc;
    return SAA_cameraGetAspectRatio(&s.scene, &s.camera, &s.aspect_ratio);
}

int allocate_wind_tables(SceneState &s) {
    const long long length =
        std::llabs(static_cast<long long>(s.end_frame) - static_cast<long long>(s.start_frame)) + 1;
    if (length > kMaxPlayRangeFrames) {
        status_message(kStatusError, "Play range of %lld frames is too long", length);
        return kSceneFailure;
    }
    s.frame_offset = -s.start_frame;
    s.wind_table_length = static_cast<int>(length);
    s.wind_frequency.assign(static_cast<size_t>(length), 0.0f);
    s.wind_step.assign(static_cast<size_t>(length), {0.0f, 0.0f, 0.0f});
    s.wind_offset.assign(static_cast<size_t>(length), {0.0f, 0.0f, 0.0f});
    return 0;
}

// Sorts one model into the surface, gravity, wind or other-model tables.
int sort_model(SceneState &s, const SAA_Elem &model) {
    int type = 0;
    if (int rc = SAA_modelGetType(&s.scene, &model, &type)) return rc;
    if (type == SAA_MODEL_PATCH || type == SAA_MODEL_NURBS) {
        if (s.patch_count() == kMaxPatches) {
            char text[64];
            std::snprintf(text, sizeof text, "Maximum number of patches is: %d\n", kMaxPatches);
            status_error(text);
            return kSceneFailure;
        }
        s.models.push_back(model);
        return 0;
    }
    if (type != SAA_MODEL_NULL && type != SAA_MODEL_FORCE) {
        s.other_models.push_back(model);
        return 0;
    }
    std::string name;
    if (int rc = element_name(s.scene, model, name)) return rc;
    if (type == SAA_MODEL_NULL) {
        if (starts_with(name, kGravityPrefix)) s.gravity.push_back(model);
        return 0;
    }
    if (starts_with(name, kWindPrefix)) {
        s.has_wind_model = true;
        s.wind_model = model;
        build_wind_tables();
    } else {
        s.other_models.push_back(model);
    }
    return 0;
}

int sort_models(SceneState &s) {
    int count = 0;
    if (int rc = SAA_sceneGetNbModels(&s.scene, &count)) return rc;
    std::vector<SAA_Elem> models(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0) {
        if (int rc = SAA_sceneGetModels(&s.scene, count, models.data())) return rc;
    }
    s.models.clear();
    s.patches.clear();
    s.gravity.clear();
    s.other_models.clear();
    s.has_wind_model = false;
    for (const SAA_Elem &model : models) {
        if (int rc = sort_model(s, model)) return rc;
    }
    if (!s.has_wind_model) build_wind_tables();
    return 0;
}

int read_lights(SceneState &s) {
    int count = 0;
    if (int rc = SAA_sceneGetNbLights(&s.scene, &count)) return rc;
    if (count >= kMaxLights) {
        char text[64];
        std::snprintf(text, sizeof text, "Maximum number of lights is: %d\n", kMaxLights);
        status_error(text);
        return kSceneFailure;
    }
    if (count < 0) count = 0;
    s.lights.assign(static_cast<size_t>(count), SAA_Elem{});
    if (count > 0) {
        if (int rc = SAA_sceneGetLights(&s.scene, count, s.lights.data())) return rc;
    }
    s.light_cache.assign(static_cast<size_t>(count), LightInfo{});
    return 0;
}

void allocate_graphics_properties(SceneState &s) {
    if (s.has_graphics_properties) SAA_gpropsDispose(&s.graphics_properties);
    s.has_graphics_properties = SAA_gpropsAlloc(&s.graphics_properties) == 0;
    SAA_gpropsSetDisplayMode(&s.graphics_properties, 0);
    SAA_gpropsSetShowIcon(&s.graphics_properties, 0);
    SAA_gpropsSetTextureModel(&s.graphics_properties, 0);
}

void set_hold_file_path(SceneState &s) {
    const char *temp = std::getenv("TEMP");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    s.hold_file_path =
        hold_file_name(temp ? temp : "/tmp", local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
}

// Parametric extent of one direction of a patch surface.
float patch_extent(int type, int vertices, int closed, float unchanged) {
    switch (type) {
    case kLinear: return static_cast<float>(vertices - 1 + closed);
    case kBezier: return static_cast<float>(std::trunc((vertices - 1) / 3.0 + 0.5));
    case kBSpline:
    case kCardinal: return static_cast<float>(closed ? vertices : vertices - 3);
    default: return unchanged;
    }
}

void patch_surface_geometry(const SAA_Scene &scene, const SAA_Elem &model, PatchData &p) {
    int nu = 0, nv = 0, type_u = 0, type_v = 0;
    short closed_u = 0, closed_v = 0;
    SAA_patchGetNbVertices(&scene, &model, &nu, &nv);
    SAA_patchGetClosed(&scene, &model, &closed_u, &closed_v);
    SAA_patchGetType(&scene, &model, &type_u, &type_v);
    p.nbPointsU = patch_extent(type_u, nu, closed_u ? 1 : 0, p.nbPointsU);
    p.nbPointsV = patch_extent(type_v, nv, closed_v ? 1 : 0, p.nbPointsV);
}

void nurbs_surface_geometry(const SAA_Scene &scene, const SAA_Elem &model, PatchData &p) {
    int ku = 0, kv = 0;
    if (SAA_nurbsSurfaceGetNbKnots(&scene, &model, &ku, &kv) != 0 || ku < 1 || kv < 1) return;
    std::vector<double> knots_u(static_cast<size_t>(ku)), knots_v(static_cast<size_t>(kv));
    if (SAA_nurbsSurfaceGetKnots(&scene, &model, 0, 0, ku, kv, knots_u.data(), knots_v.data()) != 0)
        return;
    short closed_u = 0, closed_v = 0;
    SAA_nurbsSurfaceGetClosed(&scene, &model, &closed_u, &closed_v);
    p.nbPointsU = static_cast<float>(knots_u.back());
    p.nbPointsV = static_cast<float>(knots_v.back());
}

}  // namespace

int MY_read_scene(const char *scene_name, const char *database_name) {
    SceneState &s = scene_state();
    // A line of its own: the next status line must not run on from it.
    std::fprintf(stderr, "MY_read_scene\n");
    if (int rc = acquire_scene(s, scene_name, database_name)) return rc;
    if (int rc = SAA_updatelistGet(&s.scene)) return rc;
    if (int rc = read_play_control(s)) return rc;
    if (int rc = read_camera(s)) return rc;
    if (int rc = allocate_wind_tables(s)) return rc;
    if (int rc = sort_models(s)) return rc;
    s.patches.resize(s.models.size());
    s.gravity_cache.assign(s.gravity.size(), GravityNull{});
    if (int rc = read_lights(s)) return rc;
    allocate_graphics_properties(s);
    set_hold_file_path(s);
    return 0;
}

void patch_geometry(int i) {
    SceneState &s = scene_state();
    if (i < 0 || i >= s.patch_count() || i >= static_cast<int>(s.patches.size()) || !s.patches[i])
        return;
    PatchData &p = *s.patches[i];
    const SAA_Elem &model = s.models[i];
    SAA_modelGetType(&s.scene, &model, &p.surfacetype);
    if (p.surfacetype == SAA_MODEL_PATCH) {
        patch_surface_geometry(s.scene, model, p);
    } else {
        nurbs_surface_geometry(s.scene, model, p);
    }
}

void free_all() {
    SceneState &s = scene_state();
    s.models.clear();
    for (int i = 0; i < static_cast<int>(s.patches.size()); ++i) patch_free(i);
    s.patches.clear();
    s.gravity_cache.clear();
    s.other_models.clear();
    s.lights.clear();
    s.light_cache.clear();
    s.gravity.clear();
    free_shadow_model();
    s.current_patch = -1;
    refresh_patch_list();
}

void refresh_patch_list() {
    if (!designer_up() || !designer_output().show_patch_list) return;
    const SceneState &s = scene_state();
    std::vector<PatchListLine> lines;
    for (int i = 0; i < static_cast<int>(s.patches.size()); ++i) {
        const PatchData *p = s.patches[i].get();
        if (!p || p->deleted) continue;
        lines.push_back({p->name, i, p->is_selected != 0});
    }
    designer_output().show_patch_list(lines);
}

}  // namespace vellimor
