// Scene acquisition: the process-wide scene tables (play range, camera, lights, fur surfaces,
// gravity nulls, the wind null, all other models) and the operations that fill and free them.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "furdata/patch_data.h"
#include "saa/saa.h"

namespace vellimor {

constexpr int kMaxPatches = 512;
constexpr int kMaxLights = 512;  // a scene with this many lights or more is refused
constexpr int kSceneFailure = 95;

// One gravity null of the scene (global position and scaling; the x scaling is its strength),
// refreshed by the drawing driver before every drawing.
struct GravityNull {
    float position[3] = {};
    float scaling[3] = {};
};

// One light as shading uses it, refreshed by the drawing driver.
struct LightInfo {
    int frame = -1;  // frame the record was filled for; -1: never
    short shadow = 0;
    float position[3] = {};
    float color[3] = {};
    float shadow_color[3] = {};
    float start = 0.0f;
    float end = 0.0f;
};

struct SceneState {
    SAA_Database database{};
    SAA_Scene scene{};
    int start_frame = 0;
    int end_frame = 0;
    int frame_step = 1;
    float frame_rate = 0.0f;
    int current_frame = 0;
    int camera_count = 0;
    SAA_Elem camera{};
    float aspect_ratio = 1.0f;

    // Wind tables, one entry per frame of the play range, index frame + frame_offset.
    int frame_offset = 0;
    int wind_table_length = 0;
    std::vector<float> wind_frequency;
    std::vector<std::array<float, 3>> wind_step;
    std::vector<std::array<float, 3>> wind_offset;
    bool has_wind_model = false;
    SAA_Elem wind_model{};

    // Fur surfaces: model handle and fur record at the same index, at most kMaxPatches.
    std::vector<SAA_Elem> models;
    std::vector<std::unique_ptr<PatchData>> patches;
    int current_patch = -1;

    std::vector<SAA_Elem> gravity;
    std::vector<GravityNull> gravity_cache;
    std::vector<SAA_Elem> other_models;
    std::vector<SAA_Elem> lights;
    std::vector<LightInfo> light_cache;
    SAA_GrProps graphics_properties{};
    bool has_graphics_properties = false;

    std::string hold_file_path;

    int patch_count() const { return static_cast<int>(models.size()); }
};

SceneState &scene_state();

// Loads (stand-alone) or takes (other run modes) the scene and fills the tables. Empty names
// use the host's current scene. Returns 0, a host error code, or kSceneFailure.
int MY_read_scene(const char *scene_name, const char *database_name);
// Fills surfacetype, nbPointsU and nbPointsV of patch i from its model.
void patch_geometry(int i);
// Frees every fur record and the scene tables, then refreshes the designer's patch list.
void free_all();
// Rebuilds the designer's patch list from the records that are not deleted.
void refresh_patch_list();

// "<dir>/fur_hold_MMDD_HHMM" with hour + 1 and minute + 1 of the given local time.
std::string hold_file_name(const std::string &directory, int month, int day, int hour, int minute);

}  // namespace vellimor
