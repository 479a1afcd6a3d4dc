// A small database with one furry square, written to disk with its fur stored as the program
// stores it, for renders of the drawing pipeline and of the batch command line.
#pragma once

#include "support/test_prelude.h"

#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "furdata/patch_data.h"
#include "host/globals.h"
#include "host/scene.h"
#include "saa/saa.h"

namespace vellimor::testing {

struct FurSceneOptions {
    int hairs_per_unit = 400;
    float length = 0.6f;
    float segments = 4.0f;
    float curl = 0.0f;
    bool with_light = true;
    // Diffuse colour at root and tip, 0..1.
    float root_color[3] = {0.9f, 0.2f, 0.1f};
    float tip_color[3] = {0.9f, 0.2f, 0.1f};
    float thickness = 0.01f;
    bool casts_shadow = false;
    int start = 1, end = 6;
    int xres = 64, yres = 48;
    unsigned background = 0x00000000u;  // packed, red in the lowest byte
    int display_mode = 2;  // how the square itself is drawn: "Shade"
    // With a display mode: a second, hairless surface "Screen" standing upright between the
    // camera and the square, hiding the whole left half of the picture.
    int screen_mode = -1;
    // Camera in front of the square, which stands upright in the x-z plane with hairs towards
    // the camera's side... the square lies in z = 0; the camera looks along -y from above.
    std::string camera = R"({"name": "Camera", "position": [0, -4, 2.2], "interest": [0, 0, 0.3],
                             "fov": 40, "near": 0.1, "far": 100, "aspect": 1.3333333})";
};

// Writes DATABASE/SCENES/fur.dsc: a 2 x 2 square patch centred on the origin in the z = 0 plane,
// named "Square", with fur growing along +z.
inline void write_fur_scene(const std::filesystem::path &database, const FurSceneOptions &o) {
    for (const char *sub : {"SCENES", "MODELS", "PICTURES", "RENDER_PICTURES"})
        std::filesystem::create_directories(database / sub);
    std::ostringstream dsc;
    dsc << R"({"version": 1, "play_control": {"start": )" << o.start << R"(, "end": )" << o.end
        << R"(, "step": 1, "frame_rate": 24, "current": )" << o.start << R"(},
        "render": {"x_resolution": )" << o.xres << R"(, "y_resolution": )" << o.yres << R"(},
        "cameras": [)" << o.camera << "], \"lights\": [";
    if (o.with_light)
        dsc << R"({"name": "Key", "position": [0, -6, 6], "color": [1, 1, 1], "shadow": 0.5,
                   "shadow_type": 1, "start": 0, "end": 100000})";
    dsc << R"(], "models": [{"name": "Square", "type": 1, "wire_type": 0,
        "patch": {"u": {"type": 0, "count": 2}, "v": {"type": 0, "count": 2},
                  "vertices": [[-1,1,0], [1,1,0], [-1,-1,0], [1,-1,0]]}})";
    if (o.screen_mode >= 0)
        dsc << R"(, {"name": "Screen", "type": 1, "wire_type": 0,
        "patch": {"u": {"type": 0, "count": 2}, "v": {"type": 0, "count": 2},
                  "vertices": [[-3,-2,4], [0,-2,4], [-3,-2,-2], [0,-2,-2]]}})";
    dsc << "]}";
    std::ofstream(database / "SCENES" / "fur.dsc") << dsc.str();

    // The fur goes in through the records, as the designer would store it.
    run_state().run_mode = kRunModeStandAlone;
    SAA_InitInternal("", 0, "SDKv1.71.6");
    ASSERT_EQ(MY_read_scene("fur", database.c_str()), 0);
    read_fur_data(0);
    SceneState &s = scene_state();
    ASSERT_EQ(s.patches.size(), o.screen_mode >= 0 ? 2u : 1u);
    if (o.screen_mode >= 0) s.patches[1]->Patch_display_mode = o.screen_mode;
    PatchData &r = *s.patches[0];
    r.Patch_display_mode = o.display_mode;
    r.number_of_hairs_pr_square_unit = o.hairs_per_unit;
    r.casts_shadow = o.casts_shadow ? 1 : 0;
    TextureKey &key = r.texture_keys.front();
    key.u = 0.5f;
    key.v = 0.5f;
    key.length.value = o.length;
    key.segments.value = o.segments;
    key.curl.value = o.curl;
    key.length.random = key.segments.random = key.gravity.value = key.gravity.random = 0.0f;
    key.density.value = 1.0f;
    key.grow.valueU = key.grow.valueV = 0.0f;
    key.bend.valueU = key.bend.valueV = 0.0f;
    for (int c = 0; c < 3; ++c) {
        (&key.color_keys[kColorDiffuse][0].R)[c] = o.root_color[c];
        (&key.color_keys[kColorDiffuse][1].R)[c] = o.tip_color[c];
    }
    key.color_keys[kColorDiffuse][0].A = key.color_keys[kColorDiffuse][1].A = 1.0f;
    for (int k = 0; k < 2; ++k) key.color_keys[kColorThickness][k].R = o.thickness;
    DisplaySettings &settings = *display_settings();
    settings.background_color = int(o.background);
    settings.preview_fraction = 1.0f;
    ASSERT_EQ(write_fur_data(1), 0);
    free_all();
}

}  // namespace vellimor::testing
