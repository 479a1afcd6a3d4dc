// NURBS surfaces: exact rational evaluation from full knot vectors with the basis functions and
// their first derivatives computed together (Cox-de Boor).
#include <algorithm>
#include <cmath>

#include "saa/host_state.h"
#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

constexpr int kMaxOrder = kMaxNurbsDegree + 1;

struct NurbsBasis {
    int first;  // index of the first control point with a non-zero basis function
    double n[kMaxOrder];
    double dn[kMaxOrder];
};

// The knot span [knots[k], knots[k+1]) of non-zero length that holds t (the last such span at
// the end of the domain).
int find_span(const NurbsDirection &d, double t) {
    const int p = d.degree, n = d.count;
    auto begin = d.knots.begin() + p, end = d.knots.begin() + n + 1;
    int k = static_cast<int>(std::upper_bound(begin, end, t) - d.knots.begin()) - 1;
    k = std::clamp(k, p, n - 1);
    while (k > p && d.knots[static_cast<std::size_t>(k)] == d.knots[static_cast<std::size_t>(k) + 1]) --k;
    return k;
}

bool nurbs_basis(const NurbsDirection &d, double t, NurbsBasis &b) {
    if (!std::isfinite(t)) return false;
    t = std::clamp(t, nurbs_domain_start(d), nurbs_domain_end(d));
    const int p = d.degree;
    const int k = find_span(d, t);
    const double *U = d.knots.data();
    double ndu[kMaxOrder][kMaxOrder];
    double left[kMaxOrder], right[kMaxOrder];
    ndu[0][0] = 1;
    for (int j = 1; j <= p; ++j) {
        left[j] = t - U[k + 1 - j];
        right[j] = U[k + j] - t;
        double saved = 0;
        for (int r = 0; r < j; ++r) {
            ndu[j][r] = right[r + 1] + left[j - r];  // never 0 inside a non-empty span
            double temp = ndu[r][j - 1] / ndu[j][r];
            ndu[r][j] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        ndu[j][j] = saved;
    }
    for (int r = 0; r <= p; ++r) {
        b.n[r] = ndu[r][p];
        double d1 = 0;
        if (r >= 1) d1 += ndu[r - 1][p - 1] / ndu[p][r - 1];
        if (r <= p - 1) d1 -= ndu[r][p - 1] / ndu[p][r];
        b.dn[r] = p * d1;
    }
    b.first = k - p;
    return true;
}

}  // namespace

double nurbs_domain_start(const NurbsDirection &d) { return d.knots[static_cast<std::size_t>(d.degree)]; }
double nurbs_domain_end(const NurbsDirection &d) { return d.knots[static_cast<std::size_t>(d.count)]; }

void prepare_nurbs(NurbsSurface &surface) {
    surface.homogeneous.resize(surface.points.size());
    for (std::size_t i = 0; i < surface.points.size(); ++i) {
        const Vec4 &p = surface.points[i];
        surface.homogeneous[i] = {p[0] * p[3], p[1] * p[3], p[2] * p[3], p[3]};
    }
}

bool evaluate_nurbs(const NurbsSurface &surface, double u, double v, SurfacePoint &out) {
    NurbsBasis bu, bv;
    if (!nurbs_basis(surface.u, u, bu) || !nurbs_basis(surface.v, v, bv)) return false;
    const int pu = surface.u.degree, pv = surface.v.degree, nu = surface.u.count;
    Vec4 a{0, 0, 0, 0}, au{0, 0, 0, 0}, av{0, 0, 0, 0};
    for (int j = 0; j <= pv; ++j) {
        Vec4 row{0, 0, 0, 0}, row_du{0, 0, 0, 0};
        const Vec4 *base = surface.homogeneous.data() + static_cast<std::size_t>(bv.first + j) * nu + bu.first;
        for (int i = 0; i <= pu; ++i)
            for (int k = 0; k < 4; ++k) {
                row[k] += bu.n[i] * base[i][k];
                row_du[k] += bu.dn[i] * base[i][k];
            }
        for (int k = 0; k < 4; ++k) {
            a[k] += bv.n[j] * row[k];
            au[k] += bv.n[j] * row_du[k];
            av[k] += bv.dn[j] * row[k];
        }
    }
    // Derivative of the projection a/w: (a' - w'·c) / w.
    const double w = a[3];
    for (int k = 0; k < 3; ++k) {
        double c = a[k] / w;
        out.du[k] = (au[k] - au[3] * c) / w;
        out.dv[k] = (av[k] - av[3] * c) / w;
    }
    out.position = a;
    return true;
}

}  // namespace vellimor::saa

using namespace vellimor::saa;

static NurbsSurface *nurbs_of(const SAA_Scene *scene, const SAA_Elem *model, int &status) {
    Model *m = model_of(scene, model, status);
    if (!m) return nullptr;
    if (!m->nurbs) {
        status = fail(SAA_ERR_INVALID, "model " + m->name + " is not a NURBS surface");
        return nullptr;
    }
    return m->nurbs.get();
}

extern "C" int SAA_nurbsSurfaceGetNbKnots(const SAA_Scene *scene, const SAA_Elem *model, int *nb_u, int *nb_v) {
    int status = SAA_OK;
    NurbsSurface *s = nurbs_of(scene, model, status);
    if (!s) return status;
    if (!nb_u || !nb_v) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *nb_u = static_cast<int>(s->u.knots.size());
    *nb_v = static_cast<int>(s->v.knots.size());
    return SAA_OK;
}

extern "C" int SAA_nurbsSurfaceGetKnots(const SAA_Scene *scene, const SAA_Elem *model, int start_u,
                                        int start_v, int nb_u, int nb_v, double *knots_u, double *knots_v) {
    int status = SAA_OK;
    NurbsSurface *s = nurbs_of(scene, model, status);
    if (!s) return status;
    auto in_range = [](const std::vector<double> &knots, int start, int count) {
        return start >= 0 && count >= 0 && static_cast<std::size_t>(start) <= knots.size() &&
               static_cast<std::size_t>(count) <= knots.size() - static_cast<std::size_t>(start);
    };
    if (!in_range(s->u.knots, start_u, nb_u) || !in_range(s->v.knots, start_v, nb_v) ||
        (nb_u > 0 && !knots_u) || (nb_v > 0 && !knots_v))
        return fail(SAA_ERR_ARGUMENT, "knot range out of bounds");
    std::copy_n(s->u.knots.begin() + start_u, nb_u, knots_u);
    std::copy_n(s->v.knots.begin() + start_v, nb_v, knots_v);
    return SAA_OK;
}

extern "C" int SAA_nurbsSurfaceGetClosed(const SAA_Scene *scene, const SAA_Elem *model, short *closed_u,
                                         short *closed_v) {
    int status = SAA_OK;
    NurbsSurface *s = nurbs_of(scene, model, status);
    if (!s) return status;
    if (!closed_u || !closed_v) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *closed_u = s->u.closed;
    *closed_v = s->v.closed;
    return SAA_OK;
}

// Host side: degrees and control point counts, for tools and tests.
extern "C" int SAA_nurbsSurfaceGetDegrees(const SAA_Scene *scene, const SAA_Elem *model, int *degree_u,
                                          int *degree_v) {
    int status = SAA_OK;
    NurbsSurface *s = nurbs_of(scene, model, status);
    if (!s) return status;
    if (!degree_u || !degree_v) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *degree_u = s->u.degree;
    *degree_v = s->v.degree;
    return SAA_OK;
}
