// Whole frames at scale: the demo sphere with 10^4, 10^5 and 10^6 hairs drawn into a 1280 x 720
// offscreen target at antialiasing levels 0 and 4 (8 passes), from the hair roots to the pixels
// (hair geometry and shading, polygon list, depth sort, drawing, accumulation). The hairs are
// grown once per count, outside the timing. FUR_MAX_PROC caps the cores the frame may use.
//
// bench/blender_peer.sh runs the same strands in Blender and prints the ratios.
#include <benchmark/benchmark.h>

#include "demo_scene.h"

namespace vellimor {
namespace {

constexpr int kWidth = 1280, kHeight = 720;

void BM_DemoSphereFrame(benchmark::State &state) {
    bench::time_demo_sphere_frames(state, int(state.range(0)), kWidth, kHeight, int(state.range(1)));
}
BENCHMARK(BM_DemoSphereFrame)
    ->ArgNames({"hairs", "aa"})
    ->ArgsProduct({{10000, 100000, 1000000}, {0, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace vellimor
