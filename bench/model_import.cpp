// Importing a model: an OBJ grid of 100,000 vertices (400 × 250, 99,351 quads) read, recognised as
// a grid of quads and made into a cardinal patch surface facing its front.
#include <benchmark/benchmark.h>

#include <string>

#include "saa/model_import.h"

namespace {

constexpr int kColumns = 400, kRows = 250;

std::string grid_obj() {
    std::string text = "o Grid\n";
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i)
            text += "v " + std::to_string(i * 0.01) + " " + std::to_string(0.1 * ((i * 7 + j * 3) % 11) / 11.0) + " " +
                    std::to_string(j * 0.01) + "\n";
    for (int j = 0; j + 1 < kRows; ++j)
        for (int i = 0; i + 1 < kColumns; ++i) {
            const int a = j * kColumns + i + 1;
            text += "f " + std::to_string(a) + " " + std::to_string(a + kColumns) + " " + std::to_string(a + kColumns + 1) +
                    " " + std::to_string(a + 1) + "\n";
        }
    return text;
}

void BM_ImportGridOf100kVertices(benchmark::State &state) {
    const std::string text = grid_obj();
    for (auto _ : state) {
        vellimor::saa::ImportedModels models = vellimor::saa::import_model_text(text, "grid.obj");
        benchmark::DoNotOptimize(models.surfaces.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ImportGridOf100kVertices)->Unit(benchmark::kMillisecond);

}  // namespace
