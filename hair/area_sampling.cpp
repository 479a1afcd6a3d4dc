#include "hair/area_sampling.h"

#include <cmath>

namespace vellimor {

double linear_density_point(double y, double a, double b) {
    // Solves a·x + (b − a)·x²/2 = y·(a + b)/2, in the form that needs no division by b − a.
    if (a == b || !(a + b > 0.0) || a < 0.0 || b < 0.0) return y;
    const double below = a + std::sqrt(a * a + (b * b - a * a) * y);
    if (!(below > 0.0)) return 0.0;  // no area at 0 and nothing gathered yet
    const double x = y * (a + b) / below;
    return x < 0.0 ? 0.0 : x > 1.0 ? 1.0 : x;
}

void area_even_point(const CellAreaCorners &w, double &s, double &t) {
    t = linear_density_point(t, (w.w00 + w.w10) / 2.0, (w.w01 + w.w11) / 2.0);
    s = linear_density_point(s, w.w00 + (w.w01 - w.w00) * t, w.w10 + (w.w11 - w.w10) * t);
}

}  // namespace vellimor
