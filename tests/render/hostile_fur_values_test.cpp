// Every numeric setting a fur settings file can hold, set in turn to values no groom uses (not a
// number, infinities, zero, negatives, the integer limits, huge reals), is read, grown, shadowed
// and turned into sorted hair polygons without reading outside a buffer (the sanitizers watch),
// within bounded time and memory, and out-of-range values are reported naming the surface.
#include "support/test_prelude.h"

#include <regex>

#include "furdata/display_settings.h"
#include "furdata/field_bounds.h"
#include "furdata/fur_text_file.h"
#include "hair/channel_maps.h"
#include "support/hair_scene.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "support/test_env.h"
#include "render/draw.h"
#include "render/hair_geometry.h"
#include "render/polygon_sort.h"

namespace vellimor {
namespace {

const char *const kHostileValues[] = {"nan",         "inf",        "-inf",
                                      "0",           "-1",         "2147483647",
                                      "-2147483648", "1e30"};

class HostileFurValues : public testing::HairScene {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        run_state().run_mode = kRunModeStandAlone;
        env.set("TEMP", messages.path());
        open_message_file();
        display_settings_create();
        scene_lights_ = R"({"name": "Top", "position": [0.5, 0.5, 20]})";
        open_scene(testing::square_nurbs("Square"), {{"Square", SAA_MODEL_NURBS, 1, 1}});
        SceneState &s = scene_state();
        s.lights.resize(1);
        SAA_sceneGetLights(&s.scene, 1, s.lights.data());
        // A small groom that uses every stage: shadows, a sequence, both map lookups.
        PatchData &r = record();
        r.number_of_hairs_pr_square_unit = 40;
        r.casts_shadow = 1;
        r.number_shadow_levels = 3;
        // Small maps: every stage runs, each of the many runs quickly.
        r.length_map_res = r.curl_map_res = r.grow_map_res = r.bend_map_res = r.segments_map_res =
            r.gravity_map_res = r.density_map_res = 8;
        for (auto &keys : r.main_color_keys)
            for (MainColorKey &key : keys) key.map_res = 4;
        r.length_sequence.use_sequence = 1;
        r.calc_velocity_smooth = r.calc_acceleration_smooth = 1;
        TextureKey &key = r.texture_keys.front();
        key.u = key.v = 0.5f;
        key.curl.value = 0.3f;
        key.curl.random = 0.2f;
        base = object_text(r);
    }
    void TearDown() override {
        free_shadow_model();
        scene_state().lights.clear();
        scene_state().light_cache.clear();
        HairScene::TearDown();
        close_message_file();
        reset_globals();
    }

    // Reads the settings text into the surface and draws it as a render would, without GL.
    void apply_and_draw(const std::string &text) {
        const std::string path = messages.path() + "/settings.txt";
        std::ofstream(path, std::ios::binary) << text;
        SceneState &s = scene_state();
        fetch_into_record(s.patches[0], path, 1);
        grow_fur(0, -1, 0);
        quant_patches();
        HairDrawing drawing;
        const int total = drawn_hair_total(kDrawRender, *display_settings());
        drawing.strands.resize(size_t(total));
        if (hair_geometry(drawing, kDrawRender, false, -1) != GeometryResult::kDone) return;
        PolygonList list;
        ASSERT_TRUE(build_polygon_list(drawing.strands, drawing.point_total, list));
        sort_polygons(list, 0, long(list.size()) - 1);
    }

    std::string message_text() const { return test::read_file(messages.path() + "/fur_message"); }

    test::ScopedEnv env;
    test::TempDir messages;
    std::string base;
};

TEST_F(HostileFurValues, EverySettingWithEveryHostileValueDrawsSafely) {
    const std::regex setting(R"(^(\t+)(\S+)(\s+= \t ).*$)");
    std::istringstream lines(base);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);) all.push_back(line);
    int settings = 0;
    for (size_t n = 0; n < all.size(); ++n) {
        std::smatch m;
        if (!std::regex_match(all[n], m, setting)) continue;
        ++settings;
        for (const char *value : kHostileValues) {
            std::string text;
            for (size_t k = 0; k < all.size(); ++k)
                text += (k == n ? m[1].str() + m[2].str() + m[3].str() + value : all[k]) + "\n";
            SCOPED_TRACE(m[2].str() + " = " + value);
            apply_and_draw(text);
            PatchData &r = record();
            EXPECT_LE(r.hair_count, kMaxHairsPerSurface);
            EXPECT_LE(r.length_map.size(), size_t(kMaxMapResolution) * kMaxMapResolution);
        }
    }
    EXPECT_GT(settings, 150);
}

TEST_F(HostileFurValues, OutOfRangeValuesAreReportedWithSurfaceAndSetting) {
    std::string text = std::regex_replace(base, std::regex("(\tnumber_shadow_levels\\s+= \t ).*"),
                                          "$1 10000");
    text = std::regex_replace(text, std::regex("(\t\tcurl.value\\s+= \t ).*"), "$1nan");
    text = std::regex_replace(text, std::regex("(\tlength_map_res\\s+= \t ).*"), "$1 2147483647");
    apply_and_draw(text);
    const std::string log = message_text();
    for (const char *warning : {"WARNING: Square: number_shadow_levels = 10000 is out of range, 5 used",
                                "WARNING: Square: TEXTUREKEY 0 curl.value = nan is out of range, 0 used",
                                "WARNING: Square: length_map_res = 2147483647 is out of range, 50 used"})
        EXPECT_NE(log.find(warning), std::string::npos) << log;
    const PatchData &r = record();
    EXPECT_EQ(std::tie(r.number_shadow_levels, r.length_map_res, r.texture_keys.front().curl.value), std::make_tuple(short(5), 50, 0.0f));
    // Values within range stay as they were written.
    EXPECT_EQ(std::tie(r.curl_map_res, r.number_of_hairs_pr_square_unit), std::make_tuple(8, 40));
}

}  // namespace
}  // namespace vellimor
