// Channel map building from texture keys: cost grows with res² · keys.
#include <benchmark/benchmark.h>

#include <vector>

#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "hair/random_generators.h"

namespace vellimor {
namespace {

std::unique_ptr<PatchData> record_with_keys(int keys) {
    std::unique_ptr<PatchData> record = patch_new();
    record->texture_keys.clear();
    Random15 random;
    random.seed(7);
    for (int i = 0; i < keys; ++i) {
        TextureKey key = texture_key_new();
        key.u = float(random.unit());
        key.v = float(random.unit());
        key.key_mode = i % 4;
        key.w = 0.05f;
        key.h = 0.03f;
        key.length = {1, 1.0f + float(random.unit()), 0.3f, 0};
        key.grow = {1, 0.2f, -0.1f, 0.1f, 0};
        record->texture_keys.push_back(key);
    }
    return record;
}

void BM_BuildLengthMap(benchmark::State &state) {
    const int res = int(state.range(0));
    const std::unique_ptr<PatchData> record = record_with_keys(int(state.range(1)));
    std::vector<float> map(size_t(res) * res);
    for (auto _ : state) {
        standard_srand(2);
        build_value_map(*record, map.data(), nullptr, res, kChannelLength);
        benchmark::DoNotOptimize(map.data());
    }
    state.SetItemsProcessed(state.iterations() * res * res);
}
BENCHMARK(BM_BuildLengthMap)->Args({50, 1})->Args({50, 50})->Args({200, 1})->Args({200, 50})
    ->Unit(benchmark::kMillisecond);

void BM_BuildGrowMapTiled(benchmark::State &state) {
    const int res = int(state.range(0));
    const std::unique_ptr<PatchData> record = record_with_keys(int(state.range(1)));
    record->TileU = record->TileV = 1;
    std::vector<float> u(size_t(res) * res), v(size_t(res) * res);
    for (auto _ : state) {
        standard_srand(4);
        build_value_map(*record, u.data(), v.data(), res, kChannelGrow);
        benchmark::DoNotOptimize(u.data());
    }
    state.SetItemsProcessed(state.iterations() * res * res);
}
BENCHMARK(BM_BuildGrowMapTiled)->Args({50, 1})->Args({50, 50})->Args({200, 1})->Args({200, 50})
    ->Unit(benchmark::kMillisecond);

void BM_BuildColorMap(benchmark::State &state) {
    const int res = int(state.range(0));
    const std::unique_ptr<PatchData> record = record_with_keys(int(state.range(1)));
    record->main_color_keys[kColorDiffuse][0].map_res = res;
    for (auto _ : state) {
        build_color_map(*record, 0, kColorDiffuse);
        benchmark::DoNotOptimize(record->main_color_keys[kColorDiffuse][0].color_map.data());
    }
    state.SetItemsProcessed(state.iterations() * res * res);
}
BENCHMARK(BM_BuildColorMap)->Args({50, 1})->Args({50, 50})->Args({200, 1})->Args({200, 50})
    ->Unit(benchmark::kMillisecond);

void BM_SampleBilinear(benchmark::State &state) {
    const int res = 200;
    std::vector<float> map(size_t(res) * res, 1.0f);
    Random15 random;
    float u = 0.0f;
    for (auto _ : state) {
        u = float(random.unit());
        benchmark::DoNotOptimize(sample_channel_map(map, u, 1.0f - u, res, 10, 1));
    }
}
BENCHMARK(BM_SampleBilinear);

}  // namespace
}  // namespace vellimor
