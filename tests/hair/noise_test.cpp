// Gradient noise and the generators the fur is drawn with.
#include "support/test_prelude.h"

#include "hair/noise.h"
#include "hair/random_generators.h"

namespace vellimor {
namespace {

TEST(Noise, BoundedAndNotTrivial) {
    Random15 r;
    r.seed(99);
    float lo = 0, hi = 0;
    for (int i = 0; i < 2000; ++i) {
        const float p[3] = {float(r.unit() * 40 - 20), float(r.unit() * 40 - 20),
                            float(r.unit() * 40)};
        const float n = noise3(p);
        ASSERT_TRUE(std::isfinite(n));
        lo = std::min(lo, n);
        hi = std::max(hi, n);
    }
    EXPECT_LT(lo, -0.2f);
    EXPECT_GT(hi, 0.2f);
    EXPECT_LE(hi, 1.5f);
    EXPECT_GE(lo, -1.5f);
}

TEST(Noise, TablesAreMirroredUnitGradientsOverTheLattice) {
    const float(*g)[3] = noise_gradient_table();
    const int *p = noise_permutation_table();
    std::vector<int> seen(256, 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_GE(p[i], 0);
        ASSERT_LT(p[i], 256);
        ++seen[p[i]];
        EXPECT_NEAR(g[i][0] * g[i][0] + g[i][1] * g[i][1] + g[i][2] * g[i][2], 1.0f, 1e-5f);
    }
    for (int i = 0; i < 258; ++i) {
        EXPECT_EQ(p[256 + i], p[i]);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(g[256 + i][k], g[i][k]);
    }
    // Drawn from the process-wide generator seeded with 1: 41, 18467, 6334 fall outside the unit
    // ball; 26500, 19169, 15724 give (132, -31, 108) / 256, the first gradient once made unit.
    const float length = std::sqrt(132.0f * 132 + 31 * 31 + 108 * 108);
    const float first[3] = {132 / length, -31 / length, 108 / length};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(g[0][k], first[k], 1e-6f) << k;
    // The first round of the shuffle swaps in the zero of P[256], so one value may repeat.
    int distinct = 0;
    for (int c : seen) distinct += c > 0;
    EXPECT_GE(distinct, 255);
}

// The fur depends on the exact sequences of both generators: pinned down so that no refactor can
// change the fur silently.
TEST(Random15, SequenceFromSeedOneAndTheReseedableProcessWideGenerator) {
    Random15 r;
    r.seed(1);
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) EXPECT_EQ(r.next(), value);
    standard_srand(4);
    const int first = standard_rand();
    const int second = standard_rand();
    standard_srand(4);
    EXPECT_EQ(standard_rand(), first);
    EXPECT_EQ(standard_rand(), second);
    Random15 local;
    local.seed(4);
    EXPECT_EQ(local.next(), first);
}

TEST(Random48, MatchesTheSystemErand48) {
    for (unsigned short seed : {0, 1, 3, 511, 65535}) {
        unsigned short state[3] = {seed, 0, 0};
        Random48 r(seed, 0, 0);
        for (int i = 0; i < 5000; ++i) {
            const double expected = erand48(state);
            ASSERT_EQ(r.next(), expected) << "seed " << seed << " draw " << i;
        }
        EXPECT_TRUE(std::equal(r.x, r.x + 3, state));
    }
}

}  // namespace
}  // namespace vellimor
