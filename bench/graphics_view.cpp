// One redraw of the designer's graphics view: the demo scene with the previewed fur of every
// surface at 1280 x 1024 (the view takes 1280 x 767 of it), as the view draws it on every camera
// step, at the default preview fraction and at full density.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include "editor/designer_objects.h"
#include "editor/graphics_view.h"
#include "forms/object.h"
#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "hair/placement.h"
#include "host/globals.h"
#include "host/scene.h"
#include "render/draw.h"
#include "render/draw_fur.h"
#include "render/offscreen_target.h"
#include "demo_scene.h"

namespace vellimor {
namespace {

constexpr int kScreenW = 1280, kScreenH = 1024;

// The demo with every surface selected and built at full density, in a 1280 x 1024 target.
bool open_demo() {
    static int state = 0;  // 0 not tried, 1 open, -1 failed
    if (state != 0) return state > 0;
    state = -1;
    run_state().run_mode = kRunModeStandAlone;
    SAA_InitInternal("", 0, "SDKv1.71.6");
    const std::string database = (bench::source_dir() / "examples" / "furball").string();
    if (MY_read_scene("furball", database.c_str()) != 0) return false;
    read_fur_data(1);
    run_state().run_mode = kRunModePersistent;  // quiet: no progress output
    run_state().batch = 1;                      // draws into the current (offscreen) context
    if (!offscreen_target_create(kScreenW, kScreenH, OffscreenKind::PBuffer) &&
        !offscreen_target_create(kScreenW, kScreenH, OffscreenKind::PixMap))
        return false;
    for (auto &p : scene_state().patches) p->is_selected = 1;
    build_all_patches(0, 0);
    state = 1;
    return true;
}

void BM_GraphicsViewRedraw(benchmark::State &state) {
    if (!open_demo()) {
        state.SkipWithError("demo scene or offscreen target unavailable");
        return;
    }
    const float fraction = float(state.range(0)) / 100.0f;
    display_settings()->preview_fraction = fraction;
    FmObject view;  // the graphics view's place in the main window
    view.x = 0;
    view.y = 257;
    view.w = kScreenW;
    view.h = 767;
    int hairs = 0;
    for (auto _ : state) {
        graphics_view_draw_now(&view, kDrawPreviewSelected);
        glFinish();
    }
    for (const auto &p : scene_state().patches) hairs += int(float(p->hair_count) * fraction);
    state.counters["hairs"] = hairs;
    state.counters["redraws_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GraphicsViewRedraw)->ArgName("preview_percent")->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vellimor
