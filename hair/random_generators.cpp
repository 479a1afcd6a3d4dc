#include "hair/random_generators.h"

namespace vellimor {

namespace {
Random15 g_standard;  // like the runtime's generator: state 1 until first seeded
}

void standard_srand(uint32_t seed) { g_standard.seed(seed); }
int standard_rand() { return g_standard.next(); }
Random15 &standard_random() { return g_standard; }

double Random48::next() {
    constexpr uint64_t kMultiplier = 0x5DEECE66Dull;
    constexpr uint64_t kAddend = 0xBull;
    constexpr uint64_t kMask = (1ull << 48) - 1;
    uint64_t state = static_cast<uint64_t>(x[0]) | static_cast<uint64_t>(x[1]) << 16 |
                     static_cast<uint64_t>(x[2]) << 32;
    state = (kMultiplier * state + kAddend) & kMask;
    x[0] = static_cast<uint16_t>(state);
    x[1] = static_cast<uint16_t>(state >> 16);
    x[2] = static_cast<uint16_t>(state >> 32);
    // Summed word by word, as erand48 builds its double.
    return x[0] * 0x1p-48 + x[1] * 0x1p-32 + x[2] * 0x1p-16;
}

}  // namespace vellimor
