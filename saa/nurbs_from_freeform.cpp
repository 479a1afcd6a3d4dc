// Free-form B-spline surfaces as the scene's NURBS surfaces. The scene's surfaces are evaluated
// from parameter 0 to their last knot, so knot vectors that are unclamped (periodic), that start
// elsewhere or whose file asks for only part of their domain are clamped to that part by knot
// insertion (Boehm), which leaves the surface's shape as it was, and shifted to start at 0.
#include <algorithm>
#include <cmath>

#include "saa/model_surfaces.h"
#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

// Curves that share one knot vector and degree: the rows (or columns) of a surface's points, in
// homogeneous form (w·x, w·y, w·z, w).
struct CurveSet {
    int degree = 0;
    std::vector<double> knots;
    std::vector<std::vector<Vec4>> curves;
};

long long multiplicity(const std::vector<double> &knots, double t) { return std::count(knots.begin(), knots.end(), t); }

void insert_knot(CurveSet &set, double t) {
    const int p = set.degree;
    const int n = static_cast<int>(set.curves[0].size());
    int k = static_cast<int>(std::upper_bound(set.knots.begin(), set.knots.end(), t) - set.knots.begin()) - 1;
    k = std::clamp(k, p, n - 1);
    const std::vector<double> &U = set.knots;
    for (auto &points : set.curves) {
        std::vector<Vec4> out(static_cast<std::size_t>(n) + 1);
        for (int i = 0; i <= n; ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (i <= k - p) {
                out[at] = points[at];
            } else if (i > k) {
                out[at] = points[at - 1];
            } else {
                const double alpha = (t - U[at]) / (U[at + static_cast<std::size_t>(p)] - U[at]);
                for (std::size_t c = 0; c < 4; ++c) out[at][c] = alpha * points[at][c] + (1 - alpha) * points[at - 1][c];
            }
        }
        points = std::move(out);
    }
    set.knots.insert(set.knots.begin() + k + 1, t);
}

// Keeps the part over [a, b]: both ends get degree + 1 equal knots, which parts the curve there.
void restrict_to(CurveSet &set, double a, double b) {
    const long long ends = set.degree + 1;
    while (multiplicity(set.knots, a) < ends) insert_knot(set, a);
    while (multiplicity(set.knots, b) < ends) insert_knot(set, b);
    const auto first = static_cast<std::size_t>(std::lower_bound(set.knots.begin(), set.knots.end(), a) - set.knots.begin());
    const auto last = static_cast<std::size_t>(std::lower_bound(set.knots.begin(), set.knots.end(), b) - set.knots.begin());
    for (auto &points : set.curves)
        points = std::vector<Vec4>(points.begin() + static_cast<long>(first), points.begin() + static_cast<long>(last));
    set.knots = std::vector<double>(set.knots.begin() + static_cast<long>(first),
                                    set.knots.begin() + static_cast<long>(last) + set.degree + 1);
    for (double &k : set.knots) k -= a;
}

class FreeformCheck {
public:
    FreeformCheck(const FreeformSurface &s, const std::string &file) : s_(s), file_(file) {}

    [[noreturn]] void fail(const std::string &what) const { model_file_error(file_, s_.line, s_.name + ": " + what); }

    // The range [a, b] to keep, after checking the direction's degree, counts and knots.
    std::pair<double, double> check(const FreeformDirection &d, const char *name) const {
        const std::string dir(name);
        if (d.degree < 1 || d.degree > kMaxNurbsDegree)
            fail("degree " + std::to_string(d.degree) + " in " + dir + " outside 1.." + std::to_string(kMaxNurbsDegree));
        if (d.count < d.degree + 1)
            fail(std::to_string(d.count < 0 ? 0 : d.count) + " control points in " + dir + " are too few for degree " +
                 std::to_string(d.degree));
        const std::size_t wanted = static_cast<std::size_t>(d.count) + static_cast<std::size_t>(d.degree) + 1;
        if (d.knots.size() != wanted)
            fail(std::to_string(d.knots.size()) + " knots in " + dir + "; " + std::to_string(d.count) +
                 " control points of degree " + std::to_string(d.degree) + " need " + std::to_string(wanted));
        for (std::size_t i = 0; i < d.knots.size(); ++i) {
            if (!std::isfinite(d.knots[i])) fail("knot " + std::to_string(i) + " in " + dir + " is not finite");
            if (i > 0 && d.knots[i] < d.knots[i - 1]) fail("the knots in " + dir + " decrease at knot " + std::to_string(i));
        }
        const double start = d.knots[static_cast<std::size_t>(d.degree)], end = d.knots[static_cast<std::size_t>(d.count)];
        if (!(start < end)) fail("the knots in " + dir + " span no parameter range");
        if (!d.has_range) return {start, end};
        const double slack = 1e-9 * std::max(1.0, end - start);
        if (!(d.range_start < d.range_end) || d.range_start < start - slack || d.range_end > end + slack)
            fail("the parameter range in " + dir + " lies outside the knots' range " + std::to_string(start) + ".." +
                 std::to_string(end));
        return {std::max(d.range_start, start), std::min(d.range_end, end)};
    }

private:
    const FreeformSurface &s_;
    const std::string &file_;
};

NurbsDirection direction_of(const CurveSet &set) {
    NurbsDirection d;
    d.degree = set.degree;
    d.knots = set.knots;
    d.count = static_cast<int>(set.curves[0].size());
    return d;
}

// The surface closes in a direction when its first and last lines of control points meet.
bool ends_meet(const NurbsSurface &s, bool along_u) {
    const int nu = s.u.count, nv = s.v.count;
    const int lines = along_u ? nv : nu;
    for (int k = 0; k < lines; ++k) {
        const Vec4 &a = along_u ? s.points[static_cast<std::size_t>(k) * nu] : s.points[static_cast<std::size_t>(k)];
        const Vec4 &b = along_u ? s.points[static_cast<std::size_t>(k) * nu + nu - 1]
                                : s.points[static_cast<std::size_t>(nv - 1) * nu + k];
        for (std::size_t c = 0; c < 3; ++c)
            if (std::abs(a[c] - b[c]) > 1e-9 * (1 + std::abs(a[c]))) return false;
    }
    return true;
}

}  // namespace

NurbsSurface nurbs_of_freeform(const FreeformSurface &s, const std::string &file) {
    const FreeformCheck check(s, file);
    const auto [u0, u1] = check.check(s.u, "u");
    const auto [v0, v1] = check.check(s.v, "v");
    const int nu = s.u.count, nv = s.v.count;
    // Rows along u first, then the clamped rows' columns along v.
    CurveSet rows{s.u.degree, s.u.knots, {}};
    for (int j = 0; j < nv; ++j) {
        std::vector<Vec4> row;
        for (int i = 0; i < nu; ++i) {
            const Vec4 &p = s.points[static_cast<std::size_t>(j) * nu + i];
            row.push_back({p[0] * p[3], p[1] * p[3], p[2] * p[3], p[3]});
        }
        rows.curves.push_back(std::move(row));
    }
    restrict_to(rows, u0, u1);
    const int kept_u = static_cast<int>(rows.curves[0].size());
    CurveSet columns{s.v.degree, s.v.knots, {}};
    for (int i = 0; i < kept_u; ++i) {
        std::vector<Vec4> column;
        for (int j = 0; j < nv; ++j) column.push_back(rows.curves[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]);
        columns.curves.push_back(std::move(column));
    }
    restrict_to(columns, v0, v1);
    NurbsSurface out;
    out.u = direction_of(rows);
    out.u.count = kept_u;
    out.v = direction_of(columns);
    out.points.resize(static_cast<std::size_t>(out.u.count) * out.v.count);
    for (int j = 0; j < out.v.count; ++j)
        for (int i = 0; i < out.u.count; ++i) {
            const Vec4 &h = columns.curves[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            out.points[static_cast<std::size_t>(j) * out.u.count + i] = {h[0] / h[3], h[1] / h[3], h[2] / h[3], h[3]};
        }
    out.u.closed = ends_meet(out, true);
    out.v.closed = ends_meet(out, false);
    prepare_nurbs(out);
    return out;
}

}  // namespace vellimor::saa
