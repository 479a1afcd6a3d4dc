// A scene database written into a temporary directory and opened through the host library, with
// its surfaces entered in the scene tables as fur surfaces: the ground the hair tests grow on.
#pragma once

#include "support/test_prelude.h"

#include "furdata/patch_data.h"
#include "host/scene.h"
#include "saa/saa.h"
#include "support/temp_database.h"

namespace vellimor::testing {

// One fur surface of the scene: its model's name, host type and parameter extents.
struct SurfaceSpec {
    std::string name;
    int type;  // SAA_MODEL_PATCH or SAA_MODEL_NURBS
    float extent_u, extent_v;
};

// A flat unit square in the z = 0 plane as a linear patch (extent 1 x 1), with an optional
// animation. `extra` is appended to the model's JSON object.
inline std::string square_patch(const std::string &name, const std::string &extra = "") {
    return R"({"name": ")" + name + R"(", "type": 1,
      "patch": {"u": {"type": 0, "count": 2}, "v": {"type": 0, "count": 2},
                "vertices": [[0,0,0], [1,0,0], [0,1,0], [1,1,0]]})" +
           extra + "}";
}

// The same square as a degree-1 NURBS surface with the same parameterisation (same tangents).
inline std::string square_nurbs(const std::string &name, const std::string &extra = "") {
    return R"({"name": ")" + name + R"(", "type": 10,
      "nurbs": {"u": {"degree": 1, "knots": [0, 0, 1, 1]}, "v": {"degree": 1, "knots": [0, 0, 1, 1]},
                "points": [[0,0,0,1], [1,0,0,1], [0,1,0,1], [1,1,0,1]]})" +
           extra + "}";
}

class HairScene : public ::testing::Test {
protected:
    // Writes the scene (models is the JSON array's contents), loads it and fills the tables.
    void open_scene(const std::string &models, const std::vector<SurfaceSpec> &surfaces,
                    int start = 1, int end = 10, int current = 1, double frame_rate = 24) {
        root_ = db_.path();
        std::ostringstream text;
        text << R"({"version": 1, "play_control": {"start": )" << start << R"(, "end": )" << end
             << R"(, "step": 1, "frame_rate": )" << frame_rate << R"(, "current": )" << current
             << R"(}, "lights": [)" << scene_lights_ << R"(], "models": [)" << models << "]}";
        db_.write_scene("test", text.str());
        SAA_InitInternal("", 0, "SDKv1.71.6");
        ASSERT_EQ(db_.load("test"), SAA_OK);
        SceneState &s = scene_state();
        s.scene = db_.scene;
        s.database = db_.database;
        s.start_frame = start;
        s.end_frame = end;
        s.frame_offset = -start;
        s.wind_table_length = std::abs(end - start) + 1;
        set_frame(current);
        for (const SurfaceSpec &surface : surfaces) {
            s.models.push_back(test::model_named(s.scene, surface.name));
            std::unique_ptr<PatchData> record = patch_new();
            record->name = surface.name;
            record->surfacetype = surface.type;
            record->nbPointsU = surface.extent_u;
            record->nbPointsV = surface.extent_v;
            s.patches.push_back(std::move(record));
        }
    }

    // Moves the current frame and evaluates the scene there, as the batch render does.
    void set_frame(int frame) {
        SceneState &s = scene_state();
        s.current_frame = frame;
        double seconds = 0;
        SAA_frame2Seconds(&s.scene, frame, &seconds);
        SAA_updatelistEvalScene(&s.scene, seconds);
    }

    PatchData &record(int p = 0) { return *scene_state().patches[p]; }

    void TearDown() override {
        SceneState &s = scene_state();
        s.patches.clear();
        s.models.clear();
        s.wind_frequency.clear();
        s.wind_step.clear();
        s.wind_offset.clear();
        s.has_wind_model = false;
    }

    test::TempDatabase db_;
    std::filesystem::path root_;  // the database folder
    std::string scene_lights_;  // contents of the scene's light array
};

}  // namespace vellimor::testing
