// Patch surfaces: a grid of vertices blended per direction by a linear, cubic Bézier, uniform
// cubic B-spline or cardinal (Catmull-Rom) basis. Each segment covers one unit of parameter, so a
// direction's extent is its segment count.
#include <cmath>

#include "saa/host_state.h"
#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

// The (up to) four vertices of one direction that a parameter blends, with their weights and the
// weights' derivatives by the parameter.
struct Basis {
    int index[4];
    double w[4];
    double dw[4];
};

int wrap_index(int i, int n, bool closed) {
    if (closed) return ((i % n) + n) % n;
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

void cubic_weights(int type, double s, double w[4], double dw[4]) {
    double r = 1 - s, s2 = s * s, s3 = s2 * s;
    switch (type) {
    case kPatchBezier:
        w[0] = r * r * r;
        w[1] = 3 * s * r * r;
        w[2] = 3 * s2 * r;
        w[3] = s3;
        dw[0] = -3 * r * r;
        dw[1] = 3 * r * r - 6 * s * r;
        dw[2] = 6 * s * r - 3 * s2;
        dw[3] = 3 * s2;
        break;
    case kPatchBSpline:
        w[0] = r * r * r / 6;
        w[1] = (3 * s3 - 6 * s2 + 4) / 6;
        w[2] = (-3 * s3 + 3 * s2 + 3 * s + 1) / 6;
        w[3] = s3 / 6;
        dw[0] = -r * r / 2;
        dw[1] = (9 * s2 - 12 * s) / 6;
        dw[2] = (-9 * s2 + 6 * s + 3) / 6;
        dw[3] = s2 / 2;
        break;
    default:  // cardinal, tension one half
        w[0] = 0.5 * (-s3 + 2 * s2 - s);
        w[1] = 0.5 * (3 * s3 - 5 * s2 + 2);
        w[2] = 0.5 * (-3 * s3 + 4 * s2 + s);
        w[3] = 0.5 * (s3 - s2);
        dw[0] = 0.5 * (-3 * s2 + 4 * s - 1);
        dw[1] = 0.5 * (9 * s2 - 10 * s);
        dw[2] = 0.5 * (-9 * s2 + 8 * s + 1);
        dw[3] = 0.5 * (3 * s2 - 2 * s);
        break;
    }
}

bool patch_basis(const PatchDirection &d, double t, Basis &b) {
    if (!std::isfinite(t)) return false;
    int extent = patch_extent(d);
    if (d.closed) {
        t = std::fmod(t, static_cast<double>(extent));
        if (t < 0) t += extent;
    } else {
        t = t < 0 ? 0 : (t > extent ? extent : t);
    }
    int segment = static_cast<int>(std::floor(t));
    if (segment >= extent) segment = extent - 1;
    double s = t - segment;
    int first;
    if (d.type == kPatchLinear) {
        b.w[0] = 1 - s;
        b.w[1] = s;
        b.dw[0] = -1;
        b.dw[1] = 1;
        for (int k = 2; k < 4; ++k) b.w[k] = b.dw[k] = 0;
        b.index[0] = wrap_index(segment, d.count, d.closed);
        for (int k = 1; k < 4; ++k) b.index[k] = wrap_index(segment + 1, d.count, d.closed);
        return true;
    }
    if (d.type == kPatchBezier) first = 3 * segment;
    else first = segment - (d.closed ? 1 : 0);
    cubic_weights(d.type, s, b.w, b.dw);
    for (int k = 0; k < 4; ++k) b.index[k] = wrap_index(first + k, d.count, d.closed);
    return true;
}

}  // namespace

int patch_extent(const PatchDirection &d) {
    int c = d.closed ? 1 : 0;
    switch (d.type) {
    case kPatchLinear: return d.count - 1 + c;
    case kPatchBezier: return static_cast<int>((d.count - 1) / 3.0 + 0.5);
    default: return d.closed ? d.count : d.count - 3;
    }
}

int patch_min_count(int type, bool closed) {
    switch (type) {
    case kPatchLinear: return 2;
    case kPatchBezier: return closed ? 3 : 4;
    default: return closed ? 3 : 4;
    }
}

bool evaluate_patch(const PatchSurface &surface, double u, double v, SurfacePoint &out) {
    Basis bu, bv;
    if (!patch_basis(surface.u, u, bu) || !patch_basis(surface.v, v, bv)) return false;
    Vec3 p{0, 0, 0}, du{0, 0, 0}, dv{0, 0, 0};
    const int nu = surface.u.count;
    for (int j = 0; j < 4; ++j) {
        // Blend the row first so each vertex is touched once.
        Vec3 row{0, 0, 0}, row_du{0, 0, 0};
        const Vec3 *base = surface.vertices.data() + static_cast<std::size_t>(bv.index[j]) * nu;
        for (int i = 0; i < 4; ++i) {
            const Vec3 &q = base[bu.index[i]];
            for (int k = 0; k < 3; ++k) {
                row[k] += bu.w[i] * q[k];
                row_du[k] += bu.dw[i] * q[k];
            }
        }
        for (int k = 0; k < 3; ++k) {
            p[k] += bv.w[j] * row[k];
            du[k] += bv.w[j] * row_du[k];
            dv[k] += bv.dw[j] * row[k];
        }
    }
    out.position = {p[0], p[1], p[2], 1.0};
    out.du = du;
    out.dv = dv;
    return true;
}

}  // namespace vellimor::saa

using namespace vellimor::saa;

static PatchSurface *patch_of(const SAA_Scene *scene, const SAA_Elem *model, int &status) {
    Model *m = model_of(scene, model, status);
    if (!m) return nullptr;
    if (!m->patch) {
        status = fail(SAA_ERR_INVALID, "model " + m->name + " is not a patch surface");
        return nullptr;
    }
    return m->patch.get();
}

extern "C" int SAA_patchGetType(const SAA_Scene *scene, const SAA_Elem *model, int *type_u, int *type_v) {
    int status = SAA_OK;
    PatchSurface *p = patch_of(scene, model, status);
    if (!p) return status;
    if (!type_u || !type_v) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *type_u = p->u.type;
    *type_v = p->v.type;
    return SAA_OK;
}

extern "C" int SAA_patchGetNbVertices(const SAA_Scene *scene, const SAA_Elem *model, int *nb_u, int *nb_v) {
    int status = SAA_OK;
    PatchSurface *p = patch_of(scene, model, status);
    if (!p) return status;
    if (!nb_u || !nb_v) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *nb_u = p->u.count;
    *nb_v = p->v.count;
    return SAA_OK;
}

extern "C" int SAA_patchGetClosed(const SAA_Scene *scene, const SAA_Elem *model, short *closed_u,
                                  short *closed_v) {
    int status = SAA_OK;
    PatchSurface *p = patch_of(scene, model, status);
    if (!p) return status;
    if (!closed_u || !closed_v) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *closed_u = p->u.closed;
    *closed_v = p->v.closed;
    return SAA_OK;
}
