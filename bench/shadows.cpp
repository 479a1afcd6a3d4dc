// The shadow model of the demo sphere: building it (triangles and points per second) at several
// shell resolutions, and the two queries (queries per second) along hair-like paths, to see how
// the exact query scales with the triangle count; and whole demo frames with and without shadows.
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "demo_scene.h"
#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "render/draw.h"
#include "render/frame_render.h"
#include "render/offscreen_target.h"

namespace vellimor {
namespace {

// Builds the model with the sphere's shells at `resolution`; returns the sphere's index.
int build_demo_model(int resolution) {
    const int p = bench::open_demo_surface("Sphere");
    if (p < 0) return -1;
    PatchData &record = *scene_state().patches[size_t(p)];
    record.casts_shadow = 1;
    record.shadow_subdivision = static_cast<short>(resolution);
    quant_patches();
    return p;
}

// Query points climbing every column of the grid in ten steps from surface to tips, in the
// order a hair's points come.
std::vector<std::array<float, 3>> hair_paths(const ShadowGrid &grid) {
    std::vector<std::array<float, 3>> points;
    const int layer = grid.nu1 * grid.nv1;
    for (int c = 0; c < layer; ++c) {
        const float *base = grid.points[size_t(c)].position;
        const float *tip = grid.points[size_t(c + grid.levels * layer)].position;
        for (int n = 0; n < 10; ++n) {
            const float t = (n + 0.5f) / 10.0f;
            points.push_back({base[0] + t * (tip[0] - base[0]), base[1] + t * (tip[1] - base[1]),
                              base[2] + t * (tip[2] - base[2])});
        }
    }
    return points;
}

std::array<float, 3> first_light() {
    std::array<float, 3> light{0, 0, 0};
    SceneState &s = scene_state();
    if (!s.lights.empty()) SAA_lightGetPosition(&s.scene, &s.lights[0], light.data());
    return light;
}

void BM_QuantPatchesDemo(benchmark::State &state) {
    int p = -1;
    for (auto _ : state) p = build_demo_model(static_cast<int>(state.range(0)));
    if (p < 0) {
        state.SkipWithError("demo scene not available");
        return;
    }
    const ShadowModel &model = shadow_model();
    const double triangles = double(model.triangles.size());
    const double points = double(model.grids.at(size_t(p)).point_count());
    state.counters["triangles"] = triangles;
    state.counters["points"] = points;
    state.counters["triangles/s"] =
        benchmark::Counter(triangles * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["points/s"] =
        benchmark::Counter(points * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_QuantPatchesDemo)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_ShadowRayDemo(benchmark::State &state) {
    const int p = build_demo_model(static_cast<int>(state.range(0)));
    if (p < 0) {
        state.SkipWithError("demo scene not available");
        return;
    }
    const auto points = hair_paths(shadow_model().grids.at(size_t(p)));
    const auto light = first_light();
    size_t n = 0;
    float sum = 0.0f;
    for (auto _ : state) {
        sum += shadow_ray(light.data(), points[n].data(), 0.0f);
        if (++n == points.size()) n = 0;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
    state.counters["triangles"] = double(shadow_model().triangles.size());
}
BENCHMARK(BM_ShadowRayDemo)->Arg(1)->Arg(2)->Arg(4)->Arg(8);

void BM_ShadowSmoothDemo(benchmark::State &state) {
    const int p = build_demo_model(static_cast<int>(state.range(0)));
    if (p < 0) {
        state.SkipWithError("demo scene not available");
        return;
    }
    const auto points = hair_paths(shadow_model().grids.at(size_t(p)));
    size_t n = 0;
    int hint = 0;
    float sum = 0.0f;
    for (auto _ : state) {
        sum += shadow_smooth(points[n].data(), 0, p, hint);
        if (++n == points.size()) n = 0;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
    state.counters["points"] = double(shadow_model().grids.at(size_t(p)).point_count());
}
BENCHMARK(BM_ShadowSmoothDemo)->Arg(1)->Arg(2)->Arg(4)->Arg(8);

}  // namespace
}  // namespace vellimor

namespace vellimor {
namespace {

// A batch frame of the demo scene (320 x 240, no antialiasing) with the sphere's fur casting no
// shadows (0), smooth shadows (1) or exact shadows (2).
void BM_DemoFrame(benchmark::State &state) {
    const int p = bench::open_demo_surface("Sphere");
    if (p < 0) {
        state.SkipWithError("demo scene not available");
        return;
    }
    static const bool stored_fur = (read_fur_data(1), true);  // the demo's own fur settings
    (void)stored_fur;
    SceneState &s = scene_state();
    PatchData &record = *s.patches[size_t(p)];
    record.casts_shadow = state.range(0) != 0;
    record.shadow_exact = state.range(0) == 2;
    record.shadow_subdivision = 2;
    RunState &run = run_state();
    run.run_mode = kRunModeStandAlone;  // as the batch command line renders
    run.batch = 1;
    run.render_xres = 320;
    run.render_yres = 240;
    display_settings()->antialias_level = 0;
    build_all_patches(0, 0);
    if (!offscreen_target_create(run.render_xres, run.render_yres, OffscreenKind::PBuffer)) {
        state.SkipWithError("no offscreen target");
        return;
    }
    const std::string output =
        (std::filesystem::temp_directory_path() / "vellimor_bench_shadows").string();
    for (auto _ : state)
        render_frames_batch(s.current_frame, s.current_frame, 1, kDrawRender, output.c_str());
    offscreen_target_destroy();
    std::filesystem::remove(output + "." + std::to_string(s.current_frame) + ".pic");
    long hairs = 0;
    for (const auto &r : s.patches)
        if (r) hairs += r->hair_count;
    state.counters["hairs"] = double(hairs);
    state.counters["triangles"] = double(shadow_model().triangles.size());
}
BENCHMARK(BM_DemoFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vellimor
