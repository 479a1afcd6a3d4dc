// Hair geometry: hair points grown, coloured and shaded per second, for previews and renders of
// one surface with wavy hairs, a gravity null, wind and two lights.
#include <benchmark/benchmark.h>

#include <bit>
#include <vector>

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "hair/random_generators.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/draw.h"
#include "render/hair_geometry.h"

namespace vellimor {
namespace {

constexpr int kRes = 16;

void fill(std::vector<float> &map, float value) { map.assign(kRes * kRes, value); }

void set_up_surface(int hairs, int segments, bool shadows) {
    SceneState &s = scene_state();
    s.models.assign(1, SAA_Elem{});
    s.patches.clear();
    s.patches.push_back(patch_new());
    PatchData &r = *s.patches[0];
    r.length_map_res = r.curl_map_res = r.grow_map_res = r.bend_map_res = r.segments_map_res =
        r.gravity_map_res = kRes;
    fill(r.segments_map, float(segments));
    fill(r.length_map, 1.0f);
    fill(r.curl_map, 0.3f);
    fill(r.gravity_map, 0.2f);
    fill(r.grow_map_u, 0.1f);
    fill(r.grow_map_v, 0.0f);
    fill(r.bend_map_u, 0.5f);
    fill(r.bend_map_v, 0.2f);
    for (int t = 0; t < kColorTypes; ++t)
        for (int k = 0; k < r.nbColorKeys[t]; ++k) {
            MainColorKey &key = r.main_color_keys[t][k];
            key.map_res = 1;
            key.color_map = {t == kColorThickness ? std::bit_cast<uint32_t>(0.01f) : 0xC08040FFu};
        }
    r.wind_curl = {1, 0.2f, 0};
    r.wind_color.active = 1;
    r.wind_color.R = 0.1f;
    r.casts_shadow = shadows ? 1 : 0;
    Random48 random(1, 2, 3);
    r.hairs.resize(size_t(hairs));
    for (HairRoot &root : r.hairs) {
        root.u = float(random.next());
        root.v = float(random.next());
        root.position[0] = root.u * 10.0f;
        root.position[1] = root.v * 10.0f;
        root.normal[2] = 1.0f;
        root.tangent_u[0] = 1.0f;
        root.tangent_v[1] = 1.0f;
    }
    r.hair_count = hairs;
    s.gravity_cache = {GravityNull{{5.0f, 5.0f, 3.0f}, {0.5f, 1, 1}}};
    s.light_cache.assign(2, LightInfo{});
    s.light_cache[0].position[2] = 100.0f;
    s.light_cache[1].position[0] = 100.0f;
    for (LightInfo &light : s.light_cache)
        for (int k = 0; k < 3; ++k) light.color[k] = light.shadow_color[k] = 0.5f;
    s.current_frame = 0;
    display_settings_create();
}

void BM_HairGeometry(benchmark::State &state) {
    const int hairs = int(state.range(0));
    const int segments = int(state.range(1));
    set_up_surface(hairs, segments, state.range(2) != 0);
    HairDrawing drawing;
    for (auto _ : state) {
        drawing.clear();
        drawing.strands.assign(size_t(hairs), {});
        progress_weights(0.5f, 1.0f, 0.0f);  // as the drawing driver sets it up
        progress_stage(1, hairs);
        hair_geometry(drawing, kDrawRender, false, -1);
        benchmark::DoNotOptimize(drawing.strands.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(hairs) * (segments + 1));
    state.counters["hair_points/s"] = benchmark::Counter(
        double(state.iterations()) * hairs * (segments + 1), benchmark::Counter::kIsRate);
    drawing.clear();
    scene_state().patches.clear();
    scene_state().models.clear();
}
BENCHMARK(BM_HairGeometry)
    ->Args({10000, 5, 0})
    ->Args({100000, 5, 0})
    ->Args({10000, 20, 0})
    ->Args({10000, 5, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vellimor
