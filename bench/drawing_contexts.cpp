// One antialiasing pass of the demo sphere's hairs (1280 x 720, its polygons grown and sorted
// outside the timing), drawn the ways that can use more than one core: the exact tubes in one
// OpenGL context, in two contexts with half the picture each (a scissor band), and two passes at
// once in two contexts; and the ribbons, drawn in bands on every core. The measurements that chose
// the ribbons' bands over several OpenGL contexts.
#include <benchmark/benchmark.h>

#include <thread>

#include "demo_scene.h"
#include "hair/channel_maps.h"
#include "render/hair_draw_gl.h"
#include "render/hair_geometry.h"
#include "render/light_table.h"

namespace vellimor {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

// The sorted polygons of the demo sphere with about `hairs` hairs, and a second context.
struct SortedHairs {
    HairDrawing drawing;
    PolygonList list;
    std::unique_ptr<platform::OffscreenContext> second;
    int grown_for = -1;

    bool prepare(int hairs) {
        if (!bench::open_demo_sphere_with(hairs, kWidth, kHeight)) return false;
        if (grown_for == hairs) return second != nullptr;
        grown_for = hairs;
        SceneState &s = scene_state();
        for (int p = 0; p < s.patch_count(); ++p)
            if (s.patches[size_t(p)]) update_channel_maps(p);
        update_gravity_nulls();
        update_light_table();
        drawing.clear();
        SAA_cameraGetPosition(&s.scene, &s.camera, drawing.eye);
        drawing.strands.resize(size_t(drawn_hair_total(kDrawRender, *display_settings())));
        hair_geometry(drawing, kDrawRender, false, 1);
        build_polygon_list(drawing.strands, drawing.point_total, list);
        sort_polygons(list, 0, long(list.size()) - 1);
        platform::OffscreenFailure failure;
        if (!second) second = platform::create_egl_pbuffer_context(kWidth, kHeight, {24, 32, 8}, &failure);
        return second != nullptr;
    }
};
SortedHairs &sorted_hairs() {
    static SortedHairs hairs;
    return hairs;
}

// Draws the list in `context`, rows [first_row, first_row + rows) only.
void draw_in(platform::OffscreenContext &context, const PolygonList &list, int first_row, int rows) {
    context.make_current();
    const SceneState &s = scene_state();
    glViewport(0, 0, kWidth, kHeight);
    SAA_grCameraApply(&s.scene, &s.camera);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, first_row, kWidth, rows);
    draw_hair_polygons(list, false);
    glFinish();
    glDisable(GL_SCISSOR_TEST);
    context.release_current();
}

enum Way { kTubesOneContext, kTubesBandPerContext, kTubesPassPerContext, kRibbons };

void BM_HairPass(benchmark::State &state) {
    SortedHairs &hairs = sorted_hairs();
    if (!hairs.prepare(int(state.range(0)))) {
        state.SkipWithError("demo scene or a second offscreen context unavailable");
        return;
    }
    const Way way = Way(state.range(1));
    display_settings()->exact_tubes = way != kRibbons;
    platform::OffscreenContext &first = *offscreen_target_context(), &second = *hairs.second;
    for (auto _ : state) {
        if (way == kTubesOneContext || way == kRibbons) {
            draw_in(first, hairs.list, 0, kHeight);
        } else {
            const int rows = way == kTubesBandPerContext ? kHeight / 2 : kHeight;
            std::thread other([&] { draw_in(second, hairs.list, kHeight - rows, rows); });
            draw_in(first, hairs.list, 0, rows);
            other.join();
        }
    }
    first.make_current();
    // Two whole passes count as two.
    state.SetItemsProcessed(int64_t(state.iterations()) * (way == kTubesPassPerContext ? 2 : 1));
}
BENCHMARK(BM_HairPass)
    ->ArgNames({"hairs", "way"})
    ->ArgsProduct({{100000, 1000000}, {kTubesOneContext, kTubesBandPerContext, kTubesPassPerContext, kRibbons}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
}  // namespace vellimor
