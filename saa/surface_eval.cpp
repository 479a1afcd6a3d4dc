// Surface evaluation operations, common to patch and NURBS surfaces. Results are in the model's
// local space; the evaluation selectors are accepted and ignored.
#include <cmath>

#include "saa/fur_side.h"
#include "saa/host_state.h"
#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

// Relative step into the parameter range used where the tangents are parallel (a pole).
constexpr double kPoleStep = 1e-6;

Vec3 cross(const Vec3 &a, const Vec3 &b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double length(const Vec3 &a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

const Model *surface_of(const SAA_Scene *scene, const SAA_Elem *element, int &status) {
    Model *m = model_of(scene, element, status);
    if (!m) return nullptr;
    if (!m->patch && !m->nurbs) {
        status = fail(SAA_ERR_EVAL, "model " + m->name + " is not a surface");
        return nullptr;
    }
    return m;
}

int eval_failure(double u, double v) {
    return fail(SAA_ERR_EVAL, "surface parameters (" + std::to_string(u) + ", " + std::to_string(v) +
                                  ") are not finite");
}

}  // namespace

SurfaceRange surface_range(const Model &m) {
    if (m.patch) return {0, double(patch_extent(m.patch->u)), 0, double(patch_extent(m.patch->v))};
    return {nurbs_domain_start(m.nurbs->u), nurbs_domain_end(m.nurbs->u), nurbs_domain_start(m.nurbs->v),
            nurbs_domain_end(m.nurbs->v)};
}

bool evaluate_surface(const Model &m, double u, double v, SurfacePoint &out) {
    return m.patch ? evaluate_patch(*m.patch, u, v, out) : evaluate_nurbs(*m.nurbs, u, v, out);
}

// The normal where the tangents are parallel (a pole or a collapsed edge) is taken a tiny step
// towards the middle of the parameter range, where the surface is regular.
bool surface_normal(const Model &m, double u, double v, Vec3 &normal) {
    SurfacePoint p;
    if (!evaluate_surface(m, u, v, p)) return false;
    Vec3 n = cross(p.du, p.dv);
    double len = length(n);
    if (!(len > 1e-12 * (length(p.du) * length(p.dv) + 1e-300))) {
        SurfaceRange r = surface_range(m);
        double uc = 0.5 * (r.u0 + r.u1), vc = 0.5 * (r.v0 + r.v1);
        double step = kPoleStep;
        for (int attempt = 0; attempt < 4 && !(len > 0); ++attempt, step *= 100) {
            if (!evaluate_surface(m, u + (uc - u) * step, v + (vc - v) * step, p)) return false;
            n = cross(p.du, p.dv);
            len = length(n);
        }
        if (!(len > 0)) {
            normal = {0, 0, 0};
            return true;
        }
    }
    normal = {n[0] / len, n[1] / len, n[2] / len};
    return true;
}

}  // namespace vellimor::saa

using namespace vellimor::saa;

extern "C" int SAA_surfaceEvalPosition(const SAA_Scene *scene, const SAA_Elem *model, int, int, double u,
                                       double v, double position[4]) {
    int status = SAA_OK;
    const Model *m = surface_of(scene, model, status);
    if (!m) return status;
    if (!position) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    SurfacePoint p;
    if (!evaluate_surface(*m, u, v, p)) return eval_failure(u, v);
    for (int k = 0; k < 4; ++k) position[k] = p.position[k];
    return SAA_OK;
}

extern "C" int SAA_surfaceEvalNormal(const SAA_Scene *scene, const SAA_Elem *model, int, int, double u,
                                     double v, double normal[3]) {
    int status = SAA_OK;
    const Model *m = surface_of(scene, model, status);
    if (!m) return status;
    if (!normal) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    Vec3 n;
    if (!surface_normal(*m, u, v, n)) return eval_failure(u, v);
    for (int k = 0; k < 3; ++k) normal[k] = n[k];
    return SAA_OK;
}

extern "C" int SAA_surfaceEvalTangents(const SAA_Scene *scene, const SAA_Elem *model, int, int, double u,
                                       double v, double tangent_u[3], double tangent_v[3]) {
    int status = SAA_OK;
    const Model *m = surface_of(scene, model, status);
    if (!m) return status;
    if (!tangent_u || !tangent_v) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    SurfacePoint p;
    if (!evaluate_surface(*m, u, v, p)) return eval_failure(u, v);
    for (int k = 0; k < 3; ++k) {
        tangent_u[k] = p.du[k];
        tangent_v[k] = p.dv[k];
    }
    return SAA_OK;
}

extern "C" int SAA_surfaceGetFurSide(const SAA_Scene *scene, const SAA_Elem *model, int *closed, int *outward) {
    int status = SAA_OK;
    const Model *m = surface_of(scene, model, status);
    if (!m) return status;
    if (!closed || !outward) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    const FurSide side = fur_side(*m);
    *closed = side.closed;
    *outward = side.outward;
    return SAA_OK;
}
