// Surface evaluation through the host library: the plug-in evaluates surfaces about a million
// times per hair build and evaluates the scene every 0.01 s for dynamics.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "saa/saa.h"

namespace {

// A scene with a 12 × 12 B-spline patch, the rational unit sphere and an animated null, written
// into a scratch database once per process.
std::string bench_scene() {
    std::ostringstream s;
    s << R"({"version": 1, "models": [{"name": "Patch", "type": 1, "patch": {"u": {"type": 2, "count": 12},
        "v": {"type": 2, "count": 12}, "vertices": [)";
    for (int j = 0; j < 12; ++j)
        for (int i = 0; i < 12; ++i) s << (i || j ? "," : "") << "[" << i << "," << std::sin(i * 0.5 + j) << "," << j << "]";
    s << "]}},";
    const double r = std::sqrt(0.5);
    const double circle[9][3] = {{1, 0, 1}, {1, 1, r}, {0, 1, 1}, {-1, 1, r}, {-1, 0, 1}, {-1, -1, r}, {0, -1, 1}, {1, -1, r}, {1, 0, 1}};
    const double meridian[5][3] = {{0, -1, 1}, {1, -1, r}, {1, 0, 1}, {1, 1, r}, {0, 1, 1}};
    s << R"({"name": "Sphere", "type": 10, "nurbs": {"u": {"degree": 2, "knots": [0,0,0,1,1,2,2,3,3,4,4,4]},
        "v": {"degree": 2, "knots": [0,0,0,1,1,2,2,2]}, "points": [)";
    s.precision(17);
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 9; ++i)
            s << (i || j ? "," : "") << "[" << meridian[j][0] * circle[i][0] << "," << meridian[j][1] << ","
              << -meridian[j][0] * circle[i][1] << "," << circle[i][2] * meridian[j][2] << "]";
    s << R"(]}}, {"name": "Mover", "type": 0, "animation": {"keys": [{"frame": 0, "translation": [0,0,0]},
        {"frame": 48, "translation": [2,0,0]}]}}]})";
    return s.str();
}

struct BenchScene {
    SAA_Scene scene{};
    SAA_Elem patch{}, sphere{}, mover{};
    BenchScene() {
        std::filesystem::path dir = std::filesystem::temp_directory_path() / ("saa_bench_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir / "SCENES");
        std::ofstream(dir / "SCENES" / "bench.dsc") << bench_scene();
        SAA_Database database{};
        if (SAA_databaseLoad(dir.c_str(), &database) != SAA_OK || SAA_sceneLoad(&database, "bench", &scene) != SAA_OK)
            std::abort();
        std::filesystem::remove_all(dir);
        SAA_Elem models[3];
        SAA_sceneGetModels(&scene, 3, models);
        patch = models[0];
        sphere = models[1];
        mover = models[2];
    }
};

const BenchScene &bench() {
    static BenchScene scene;
    return scene;
}

// Evaluates over a 64 × 64 grid of the surface's parameter range, as hair placement does.
template <class Eval>
void evaluate_grid(benchmark::State &state, const SAA_Elem &model, double extent_u, double extent_v, Eval eval) {
    const BenchScene &b = bench();
    constexpr int kGrid = 64;
    for (auto _ : state)
        for (int j = 0; j < kGrid; ++j)
            for (int i = 0; i < kGrid; ++i) eval(b.scene, model, extent_u * (i + 0.5) / kGrid, extent_v * (j + 0.5) / kGrid);
    state.SetItemsProcessed(state.iterations() * kGrid * kGrid);
}

void position(const SAA_Scene &s, const SAA_Elem &m, double u, double v) {
    double p[4];
    SAA_surfaceEvalPosition(&s, &m, 2, 0, u, v, p);
    benchmark::DoNotOptimize(p);
}
void normal(const SAA_Scene &s, const SAA_Elem &m, double u, double v) {
    double n[3];
    SAA_surfaceEvalNormal(&s, &m, 2, 0, u, v, n);
    benchmark::DoNotOptimize(n);
}
void tangents(const SAA_Scene &s, const SAA_Elem &m, double u, double v) {
    double a[3], b[3];
    SAA_surfaceEvalTangents(&s, &m, 2, 0, u, v, a, b);
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
}

void BM_PatchPosition(benchmark::State &state) { evaluate_grid(state, bench().patch, 9, 9, position); }
void BM_PatchNormal(benchmark::State &state) { evaluate_grid(state, bench().patch, 9, 9, normal); }
void BM_PatchTangents(benchmark::State &state) { evaluate_grid(state, bench().patch, 9, 9, tangents); }
void BM_NurbsPosition(benchmark::State &state) { evaluate_grid(state, bench().sphere, 4, 2, position); }
void BM_NurbsNormal(benchmark::State &state) { evaluate_grid(state, bench().sphere, 4, 2, normal); }
void BM_NurbsTangents(benchmark::State &state) { evaluate_grid(state, bench().sphere, 4, 2, tangents); }

// One dynamics step: evaluate the scene at a time, then read a model's matrix.
void BM_EvalSceneAndMatrix(benchmark::State &state) {
    const BenchScene &b = bench();
    double t = 0;
    float m[4][4];
    for (auto _ : state) {
        SAA_updatelistEvalScene(&b.scene, t);
        SAA_modelGetMatrix(&b.scene, &b.mover, 1, m);
        benchmark::DoNotOptimize(m);
        t += 0.01;
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_PatchPosition);
BENCHMARK(BM_PatchNormal);
BENCHMARK(BM_PatchTangents);
BENCHMARK(BM_NurbsPosition);
BENCHMARK(BM_NurbsNormal);
BENCHMARK(BM_NurbsTangents);
BENCHMARK(BM_EvalSceneAndMatrix);

}  // namespace
