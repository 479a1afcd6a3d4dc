// Drawing: the back-to-front sort, and whole batch frames of the demo at 640 x 480 with 10^4,
// 10^5 and 10^6 hairs at antialiasing levels 0 and 4, through immediate mode and vertex arrays.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <vector>

#include "furdata/display_settings.h"
#include "hair/placement.h"
#include "hair/random_generators.h"
#include "host/globals.h"
#include "host/scene.h"
#include "render/draw.h"
#include "render/draw_fur.h"
#include "render/hair_draw_gl.h"
#include "render/offscreen_target.h"
#include "render/polygon_sort.h"
#include "demo_scene.h"

namespace vellimor {
namespace {

constexpr int kWidth = 640, kHeight = 480;

void BM_SortPolygons(benchmark::State &state) {
    const size_t n = size_t(state.range(0));
    Random48 random(1, 2, 3);
    std::vector<HairPoint> points(n);
    for (HairPoint &p : points) p.eye_distance = float(random.next()) * 10.0f;
    PolygonList list(n);
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < n; ++i) list[i] = &points[i];
        standard_srand(1);
        state.ResumeTiming();
        sort_polygons(list, 0, long(n) - 1);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}
BENCHMARK(BM_SortPolygons)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_BatchFrame(benchmark::State &state) {
    set_hair_vertex_path(state.range(2) != 0 ? HairVertexPath::kVertexArrays : HairVertexPath::kImmediate);
    bench::time_demo_sphere_frames(state, int(state.range(0)), kWidth, kHeight, int(state.range(1)));
}
BENCHMARK(BM_BatchFrame)
    ->ArgNames({"hairs", "aa", "arrays"})
    ->ArgsProduct({{10000, 100000, 1000000}, {0, 4}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace vellimor
