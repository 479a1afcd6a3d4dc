// Root placement on the demo sphere: subdivision, density thinning and two host evaluations per
// root, at 10^4, 10^5 and 10^6 hairs.
#include <benchmark/benchmark.h>

#include "demo_scene.h"
#include "hair/placement.h"

namespace vellimor {
namespace {

// The sphere's area as the subdivision measures it.
float surface_area(int p) {
    PatchData &record = *scene_state().patches[p];
    record.number_of_hairs_pr_square_unit = 0;
    Subdivide_patch(p);
    float area = 0.0f;
    for (const SubPatchCell &cell : record.cells) area += cell.area;
    return area;
}

void BM_PlaceRootsOnSphere(benchmark::State &state) {
    const int p = bench::open_demo_surface("Sphere");
    if (p < 0) {
        state.SkipWithError("demo scene not available");
        return;
    }
    PatchData &record = *scene_state().patches[p];
    record.velocity_scale.active = record.acceleration_scale.active = 0;
    const int density = static_cast<int>(state.range(0) / surface_area(p));
    for (auto _ : state) grow_fur(p, density, 0);
    state.SetItemsProcessed(state.iterations() * record.hair_count);
    state.counters["hairs"] = record.hair_count;
}
BENCHMARK(BM_PlaceRootsOnSphere)->Arg(10000)->Arg(100000)->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vellimor
