// The two reproducible random generators of hair generation. Both are this project's own code so
// that the fur is the same on every machine and in every run: the 15-bit generator is the
// classic linear congruential one (never the C library's rand, whose sequence differs between
// runtimes), the 48-bit one follows erand48 exactly.
#pragma once

#include <cstdint>

namespace vellimor {

// Largest value the 15-bit generator returns.
constexpr int kRandom15Max = 32767;

// state = state·214013 + 2531011 (mod 2^32); result (state >> 16) & 0x7FFF.
struct Random15 {
    uint32_t state = 1;

    void seed(uint32_t s) { state = s; }
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }
    // rand()/32767.0: a unit in [0, 1], both ends included.
    double unit() { return next() / static_cast<double>(kRandom15Max); }
};

// The process-wide 15-bit generator. Channel maps reseed it before every build, the noise tables
// seed it with 1, and the shadow sort draws its pivots from whatever state those left.
void standard_srand(uint32_t seed);
int standard_rand();
Random15 &standard_random();

// The 48-bit generator: X ← (0x5DEECE66D·X + 0xB) mod 2^48, held as three 16-bit words, low
// word first, returning X·2^-48 in [0, 1).
struct Random48 {
    uint16_t x[3] = {0, 0, 0};

    Random48() = default;
    Random48(uint16_t low, uint16_t middle, uint16_t high) : x{low, middle, high} {}
    double next();
};

}  // namespace vellimor
