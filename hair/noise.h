// Three-dimensional gradient noise on fixed tables: the field the wind samples at every hair root.
#pragma once

namespace vellimor {

// Builds the gradient and permutation tables once per process (seeds the process-wide 15-bit
// generator with 1). Later calls do nothing.
void noise_init();

// Gradient noise at p (3 floats): smooth, 0 at every point with integer coordinates, periodic
// with period 256 in every axis. Builds the tables on first use.
float noise3(const float p[3]);

// Read-only views of the tables, for tests that compare them between processes.
constexpr int kNoiseTableSize = 514;
const float (*noise_gradient_table())[3];
const int *noise_permutation_table();

}  // namespace vellimor
