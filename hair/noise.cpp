#include "hair/noise.h"

#include <cmath>

#include "hair/random_generators.h"

namespace vellimor {

namespace {

constexpr int kLatticeSize = 256;
constexpr int kLatticeMask = 255;
// Keeps the truncation's argument positive for every coordinate above -10000.
constexpr double kCoordinateShift = 10000.0;

struct NoiseTables {
    float gradient[kNoiseTableSize][3] = {};
    int permutation[kNoiseTableSize] = {};
    bool initialised = false;
};

NoiseTables g_noise;

void fill_gradients() {
    for (int i = 0; i < kLatticeSize; ++i) {
        float g[3];
        float length2;
        do {
            for (float &component : g) component = ((standard_rand() % 512) - 256) / 256.0f;
            length2 = g[0] * g[0] + g[1] * g[1] + g[2] * g[2];
        } while (length2 > 1.0f);
        // A zero draw would divide by zero; the fixed seed never produces one, and a NaN
        // gradient is worse than an unnormalised zero.
        const float length = std::sqrt(length2);
        for (int k = 0; k < 3; ++k) g_noise.gradient[i][k] = length > 0.0f ? g[k] / length : 0.0f;
    }
}

void shuffle_permutation() {
    int *perm = g_noise.permutation;
    for (int i = 0; i < kLatticeSize; ++i) perm[i] = i;
    perm[kLatticeSize] = 0;
    for (int i = kLatticeSize; i > 0; i -= 2) {
        const int kept = perm[i];
        perm[i] = perm[standard_rand() % kLatticeSize];  // only advances the generator
        const int j = standard_rand() % kLatticeSize;
        perm[i] = perm[j];
        perm[j] = kept;
    }
}

void mirror_tables() {
    for (int i = 0; i < kLatticeSize + 2; ++i) {
        g_noise.permutation[kLatticeSize + i] = g_noise.permutation[i];
        for (int k = 0; k < 3; ++k) g_noise.gradient[kLatticeSize + i][k] = g_noise.gradient[i][k];
    }
}

struct AxisLattice {
    int b0, b1;
    float r0, r1;
};

AxisLattice lattice_axis(float coordinate) {
    const float t = static_cast<float>(coordinate + kCoordinateShift);
    const int n = static_cast<int>(t);
    AxisLattice a;
    a.b0 = n & kLatticeMask;
    a.b1 = (a.b0 + 1) & kLatticeMask;
    a.r0 = t - static_cast<float>(n);
    a.r1 = a.r0 - 1.0f;
    return a;
}

float s_curve(float t) { return t * t * (3.0f - 2.0f * t); }
float lerp(float t, float a, float b) { return a + t * (b - a); }
float gradient_dot(int k, float x, float y, float z) {
    const float *g = g_noise.gradient[k];
    return g[0] * x + g[1] * y + g[2] * z;
}

}  // namespace

void noise_init() {
    if (g_noise.initialised) return;
    standard_srand(1);
    fill_gradients();
    shuffle_permutation();
    mirror_tables();
    g_noise.initialised = true;
}

float noise3(const float p[3]) {
    if (!g_noise.initialised) noise_init();
    const AxisLattice x = lattice_axis(p[0]);
    const AxisLattice y = lattice_axis(p[1]);
    const AxisLattice z = lattice_axis(p[2]);
    const int *perm = g_noise.permutation;

    const int i = perm[x.b0];
    const int j = perm[x.b1];
    const int b00 = perm[i + y.b0];
    const int b10 = perm[j + y.b0];
    const int b01 = perm[i + y.b1];
    const int b11 = perm[j + y.b1];

    const float sx = s_curve(x.r0);
    const float sy = s_curve(y.r0);
    const float sz = s_curve(z.r0);

    auto layer = [&](int bz, float rz) {
        const float a = lerp(sx, gradient_dot(b00 + bz, x.r0, y.r0, rz),
                             gradient_dot(b10 + bz, x.r1, y.r0, rz));
        const float b = lerp(sx, gradient_dot(b01 + bz, x.r0, y.r1, rz),
                             gradient_dot(b11 + bz, x.r1, y.r1, rz));
        return lerp(sy, a, b);
    };
    const float c = layer(z.b0, z.r0);
    const float d = layer(z.b1, z.r1);
    return lerp(sz, c, d);
}

const float (*noise_gradient_table())[3] {
    noise_init();
    return g_noise.gradient;
}

const int *noise_permutation_table() {
    noise_init();
    return g_noise.permutation;
}

}  // namespace vellimor
