// Evaluations per second of function curves: one component curve at frames spread over its keys,
// and a whole group query as the channel maps run it every frame.
#include <benchmark/benchmark.h>

#include "fcurve/fcurve_list.h"
#include "fcurve/hermite_curve.h"

namespace {

using namespace vellimor;

std::unique_ptr<Herm> curve_with_keys(int keys) {
    auto c = HermCreate(0, 0);
    for (int k = 1; k < keys; ++k) HermInsertPoint(*c, k, 10.0f * k, (k % 3) * 0.5f);
    return c;
}

void BM_HermEvaluate(benchmark::State &state) {
    const int keys = static_cast<int>(state.range(0));
    auto c = curve_with_keys(keys);
    const float last = 10.0f * (keys - 1);
    float x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HermEvaluate(c.get(), x));
        x += 1.0f;
        if (x > last) x = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HermEvaluate)->Arg(2)->Arg(10)->Arg(100);

void BM_FCurveQuery(benchmark::State &state) {
    float group[3] = {0, 0, 0};
    const int id = fcurve_create(3, 0, group);
    for (int i = 0; i < 3; ++i) {
        Herm &c = *fcurve_find(id)->limits[i].curve;
        for (int k = 1; k < 10; ++k) HermInsertPoint(c, k, 10.0f * k, (k + i) % 2);
    }
    int frame = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fcurve_query(id, frame, group));
        frame = (frame + 1) % 90;
    }
    state.SetItemsProcessed(state.iterations());
    fcurve_delete_all();
}
BENCHMARK(BM_FCurveQuery);

}  // namespace
