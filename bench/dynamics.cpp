// Dynamics measurement on the demo sphere: one scene evaluation per sampling instant and one
// position evaluation per root and instant.
#include <benchmark/benchmark.h>

#include "demo_scene.h"
#include "hair/dynamics.h"
#include "hair/placement.h"

namespace vellimor {
namespace {

void BM_CalcDynamics(benchmark::State &state) {
    const int p = bench::open_demo_surface("Sphere");
    if (p < 0) {
        state.SkipWithError("demo scene not available");
        return;
    }
    PatchData &record = *scene_state().patches[p];
    record.velocity_scale.active = record.acceleration_scale.active = 0;
    grow_fur(p, static_cast<int>(state.range(0) / 12.5), 0);  // the unit sphere's ~12.5 units²
    record.velocity_scale.active = 1;
    record.acceleration_scale.active = state.range(1) > 0;
    record.calc_velocity_smooth = record.calc_acceleration_smooth = state.range(2) > 1;
    record.velocity_smooth = record.acceleration_smooth = static_cast<int>(state.range(2));
    for (auto _ : state) calc_dynamics(p);
    state.SetItemsProcessed(state.iterations() * record.hair_count);
    state.counters["hairs"] = record.hair_count;
}
// hairs, acceleration on, smoothing window
BENCHMARK(BM_CalcDynamics)->Args({10000, 0, 1})->Args({10000, 1, 1})->Args({10000, 1, 3})
    ->Args({100000, 1, 1})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vellimor
