// Drawing of scene objects into the current OpenGL context: graphics properties, the camera's
// projection and view, and surfaces (tessellated), meshes, nulls and lights by display mode.
// Every draw call leaves the OpenGL state as it found it.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "saa/cameras.h"
#include "saa/host_state.h"
#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

enum DisplayMode { kWireframe = 0, kDepthOnly = 1, kShaded = 2, kMatte = 3 };
constexpr int kMaxDisplayMode = kMatte;

struct GraphicsProperties {
    bool in_use = false;
    int display_mode = kWireframe;
    int show_icon = 1;
    int texture_model = 0;
};

std::vector<GraphicsProperties> &properties_table() {
    static std::vector<GraphicsProperties> table;
    return table;
}

GraphicsProperties *properties_of(const SAA_GrProps *props) {
    auto &table = properties_table();
    if (!props || props->id == 0 || props->id > table.size() || !table[props->id - 1].in_use) return nullptr;
    return &table[props->id - 1];
}

// Tessellation density: samples per segment or knot span, and a cap per direction.
constexpr int kSamplesPerSpan = 4;
constexpr int kMaxSamples = 129;
constexpr std::size_t kMaxCachedTessellations = 4096;
constexpr float kNullHalfLength = 1.0f;
constexpr float kLightMarkerSize = 0.25f;
constexpr int kMaxGlLights = 8;

// Wire colours by wire type; types beyond the table wrap around.
constexpr float kWireColors[][3] = {{0.8f, 0.8f, 0.8f}, {1.0f, 0.2f, 0.2f}, {0.2f, 1.0f, 0.2f}, {0.3f, 0.4f, 1.0f},
                                    {1.0f, 1.0f, 0.2f}, {0.2f, 1.0f, 1.0f}, {1.0f, 0.3f, 1.0f}, {1.0f, 1.0f, 1.0f}};
constexpr int kWireColorCount = sizeof kWireColors / sizeof kWireColors[0];

const float *wire_color(int wire_type) {
    return kWireColors[((wire_type % kWireColorCount) + kWireColorCount) % kWireColorCount];
}

struct Tessellation {
    int nu = 0, nv = 0;
    std::vector<Vec3> points, normals;  // nv rows of nu samples
};

// Parameters spread evenly over each span of [start, end] between the given breaks.
std::vector<double> sample_parameters(const std::vector<double> &breaks) {
    std::vector<double> out;
    for (std::size_t i = 0; i + 1 < breaks.size(); ++i)
        for (int k = 0; k < kSamplesPerSpan; ++k)
            out.push_back(breaks[i] + (breaks[i + 1] - breaks[i]) * k / kSamplesPerSpan);
    out.push_back(breaks.back());
    if (out.size() > static_cast<std::size_t>(kMaxSamples)) {  // too many spans: sample evenly instead
        double a = breaks.front(), b = breaks.back();
        out.resize(kMaxSamples);
        for (int i = 0; i < kMaxSamples; ++i) out[static_cast<std::size_t>(i)] = a + (b - a) * i / (kMaxSamples - 1);
    }
    return out;
}

std::vector<double> patch_breaks(const PatchDirection &d) {
    std::vector<double> breaks;
    for (int i = 0; i <= patch_extent(d); ++i) breaks.push_back(i);
    return breaks;
}

std::vector<double> nurbs_breaks(const NurbsDirection &d) {
    std::vector<double> breaks;
    for (int i = d.degree; i <= d.count; ++i) {
        double k = d.knots[static_cast<std::size_t>(i)];
        if (breaks.empty() || k > breaks.back()) breaks.push_back(k);
    }
    return breaks;
}

Tessellation tessellate(const Model &m) {
    std::vector<double> us = sample_parameters(m.patch ? patch_breaks(m.patch->u) : nurbs_breaks(m.nurbs->u));
    std::vector<double> vs = sample_parameters(m.patch ? patch_breaks(m.patch->v) : nurbs_breaks(m.nurbs->v));
    Tessellation t;
    t.nu = static_cast<int>(us.size());
    t.nv = static_cast<int>(vs.size());
    for (double v : vs)
        for (double u : us) {
            SurfacePoint p;
            Vec3 n{0, 0, 1};
            evaluate_surface(m, u, v, p);
            surface_normal(m, u, v, n);
            t.points.push_back({p.position[0] / p.position[3], p.position[1] / p.position[3], p.position[2] / p.position[3]});
            t.normals.push_back(n);
        }
    return t;
}

// Surface geometry never changes after loading, so tessellations live as long as their model
// (looked up by the model's serial).
const Tessellation &tessellation_of(const Model &m) {
    static std::unordered_map<std::uint32_t, Tessellation> cache;
    auto it = cache.find(m.serial);
    if (it != cache.end()) return it->second;
    if (cache.size() >= kMaxCachedTessellations) cache.clear();
    return cache.emplace(m.serial, tessellate(m)).first->second;
}

void vertex(const Vec3 &p) { glVertex3d(p[0], p[1], p[2]); }
void normal(const Vec3 &n) { glNormal3d(n[0], n[1], n[2]); }

void draw_surface(const Model &m, int mode) {
    const Tessellation &t = tessellation_of(m);
    auto at = [&](int i, int j) { return static_cast<std::size_t>(j) * t.nu + i; };
    if (mode == kWireframe) {
        for (int j = 0; j < t.nv; ++j) {
            glBegin(GL_LINE_STRIP);
            for (int i = 0; i < t.nu; ++i) vertex(t.points[at(i, j)]);
            glEnd();
        }
        for (int i = 0; i < t.nu; ++i) {
            glBegin(GL_LINE_STRIP);
            for (int j = 0; j < t.nv; ++j) vertex(t.points[at(i, j)]);
            glEnd();
        }
        return;
    }
    for (int j = 0; j + 1 < t.nv; ++j) {
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i < t.nu; ++i) {
            normal(t.normals[at(i, j + 1)]);
            vertex(t.points[at(i, j + 1)]);
            normal(t.normals[at(i, j)]);
            vertex(t.points[at(i, j)]);
        }
        glEnd();
    }
}

void draw_mesh(const Mesh &mesh, int mode) {
    for (std::size_t p = 0; p < mesh.sizes.size(); ++p) {
        glBegin(mode == kWireframe ? GL_LINE_LOOP : GL_POLYGON);
        for (int k = 0; k < mesh.sizes[p]; ++k) {
            auto v = static_cast<std::size_t>(mesh.indices[static_cast<std::size_t>(mesh.starts[p] + k)]);
            if (mode == kShaded) {
                glColor4ub(mesh.colors[v][0], mesh.colors[v][1], mesh.colors[v][2], mesh.colors[v][3]);
                normal(mesh.normals[v]);
            }
            vertex(mesh.positions[v]);
        }
        glEnd();
    }
}

// Nulls are their three axes, one unit each way before scaling; force nulls add an arrow head on X.
void draw_null(const Model &m) {
    const float h = kNullHalfLength;
    glBegin(GL_LINES);
    glVertex3f(-h, 0, 0), glVertex3f(h, 0, 0);
    glVertex3f(0, -h, 0), glVertex3f(0, h, 0);
    glVertex3f(0, 0, -h), glVertex3f(0, 0, h);
    if (m.type == SAA_MODEL_FORCE) {
        glVertex3f(h, 0, 0), glVertex3f(0.7f * h, 0.2f * h, 0);
        glVertex3f(h, 0, 0), glVertex3f(0.7f * h, -0.2f * h, 0);
    }
    glEnd();
}

void draw_light(const Light &l) {
    glColor3d(l.color[0], l.color[1], l.color[2]);
    glBegin(GL_LINES);
    for (int axis = 0; axis < 3; ++axis) {
        Vec3 a = l.position, b = l.position;
        a[axis] -= kLightMarkerSize;
        b[axis] += kLightMarkerSize;
        vertex(a);
        vertex(b);
    }
    glEnd();
}

// The scene's lights (or a headlight without any) for shaded drawing, placed while the
// model-view holds the camera alone.
void set_up_lighting(const Scene &scene) {
    glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    const float ambient[4] = {0.15f, 0.15f, 0.15f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    for (int i = 0; i < kMaxGlLights; ++i) glDisable(GL_LIGHT0 + i);
    if (scene.lights.empty()) {
        const float headlight[4] = {0, 0, 1, 0}, white[4] = {0.9f, 0.9f, 0.9f, 1};
        glPushMatrix();
        glLoadIdentity();
        glLightfv(GL_LIGHT0, GL_POSITION, headlight);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glPopMatrix();
        glEnable(GL_LIGHT0);
        return;
    }
    int n = std::min<int>(kMaxGlLights, static_cast<int>(scene.lights.size()));
    for (int i = 0; i < n; ++i) {
        const Light &l = scene.lights[static_cast<std::size_t>(i)];
        const float position[4] = {float(l.position[0]), float(l.position[1]), float(l.position[2]), 1};
        const float color[4] = {float(l.color[0]), float(l.color[1]), float(l.color[2]), 1};
        glLightfv(GL_LIGHT0 + i, GL_POSITION, position);
        glLightfv(GL_LIGHT0 + i, GL_DIFFUSE, color);
        glEnable(GL_LIGHT0 + i);
    }
}

// State of one display mode, inside a saved attribute set.
void begin_mode(const Scene &scene, int mode) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    // The host draws an element again over its own depth (a depth-only pass, then shaded or
    // matte), so a fragment at the depth already stored passes.
    glDepthFunc(GL_LEQUAL);
    switch (mode) {
    case kDepthOnly:
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glDepthMask(GL_TRUE);
        break;
    case kShaded: set_up_lighting(scene); break;
    case kMatte:
        // Matte writes its black and zero alpha as they are: blended, alpha 0 would leave
        // whatever lies behind.
        glDisable(GL_BLEND);
        glColor4f(0, 0, 0, 0);
        break;
    default: break;
    }
}

void end_mode() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void draw_model(const Model &m, int mode) {
    if (!m.alive) return;
    bool is_null = !m.patch && !m.nurbs && !m.mesh;
    if (is_null && (mode == kDepthOnly || mode == kMatte)) return;  // nulls have no body
    glPushMatrix();
    glMultMatrixd(&m.matrix[0][0]);  // row-vector rows are OpenGL's columns
    if (mode == kWireframe || mode == kShaded) {
        const float *c = wire_color(m.wire_type);
        glColor3f(c[0], c[1], c[2]);
    }
    if (m.patch || m.nurbs) draw_surface(m, mode);
    else if (m.mesh) draw_mesh(*m.mesh, mode);
    else {
        glDisable(GL_LIGHTING);
        draw_null(m);
    }
    glPopMatrix();
}

}  // namespace

void camera_matrices(const Camera &c, double projection[16], double view[16]) {
    const double f = 1.0 / std::tan(c.fov * 3.14159265358979323846 / 360.0);
    const double n = c.near_plane, fa = c.far_plane;
    std::fill(projection, projection + 16, 0.0);
    projection[0] = f / c.aspect;
    projection[5] = f;
    projection[10] = (fa + n) / (n - fa);
    projection[11] = -1;
    projection[14] = 2 * fa * n / (n - fa);
    Vec3 right, up;
    camera_frame(c, right, up);
    Vec3 back{c.position[0] - c.interest[0], c.position[1] - c.interest[1], c.position[2] - c.interest[2]};
    double len = std::sqrt(back[0] * back[0] + back[1] * back[1] + back[2] * back[2]);
    for (double &b : back) b /= len;
    const Vec3 *axes[3] = {&right, &up, &back};
    std::fill(view, view + 16, 0.0);
    for (int a = 0; a < 3; ++a) {
        for (int k = 0; k < 3; ++k) view[4 * k + a] = (*axes[a])[k];
        view[12 + a] = -((*axes[a])[0] * c.position[0] + (*axes[a])[1] * c.position[1] + (*axes[a])[2] * c.position[2]);
    }
    view[15] = 1;
}

}  // namespace vellimor::saa

using namespace vellimor::saa;

extern "C" int SAA_gpropsAlloc(SAA_GrProps *props) {
    if (!props) return fail(SAA_ERR_ARGUMENT, "null graphics properties");
    return guarded([&]() -> int {
        auto &table = properties_table();
        auto free_slot = std::find_if(table.begin(), table.end(), [](const GraphicsProperties &p) { return !p.in_use; });
        if (free_slot == table.end()) free_slot = table.insert(table.end(), GraphicsProperties{});
        *free_slot = GraphicsProperties{};
        free_slot->in_use = true;
        props->id = static_cast<unsigned>(free_slot - table.begin()) + 1;
        return SAA_OK;
    });
}

extern "C" int SAA_gpropsDispose(SAA_GrProps *props) {
    GraphicsProperties *p = properties_of(props);
    if (!p) return fail(SAA_ERR_INVALID, "not allocated graphics properties");
    p->in_use = false;
    props->id = 0;
    return SAA_OK;
}

extern "C" int SAA_gpropsReset(SAA_GrProps *props) {
    GraphicsProperties *p = properties_of(props);
    if (!p) return fail(SAA_ERR_INVALID, "not allocated graphics properties");
    *p = GraphicsProperties{};
    p->in_use = true;
    return SAA_OK;
}

extern "C" int SAA_gpropsSetDisplayMode(SAA_GrProps *props, int mode) {
    GraphicsProperties *p = properties_of(props);
    if (!p) return fail(SAA_ERR_INVALID, "not allocated graphics properties");
    if (mode < 0 || mode > kMaxDisplayMode) return fail(SAA_ERR_ARGUMENT, "unknown display mode");
    p->display_mode = mode;
    return SAA_OK;
}

extern "C" int SAA_gpropsSetShowIcon(SAA_GrProps *props, int show) {
    GraphicsProperties *p = properties_of(props);
    if (!p) return fail(SAA_ERR_INVALID, "not allocated graphics properties");
    p->show_icon = show;
    return SAA_OK;
}

extern "C" int SAA_gpropsSetTextureModel(SAA_GrProps *props, int model) {
    GraphicsProperties *p = properties_of(props);
    if (!p) return fail(SAA_ERR_INVALID, "not allocated graphics properties");
    p->texture_model = model;
    return SAA_OK;
}

// Drawing keeps its state to itself, so there is nothing to prepare beyond checking.
extern "C" int SAA_grStateInit(const SAA_Scene *scene, const SAA_GrProps *props) {
    int status = SAA_OK;
    if (!scene_of(scene, status)) return status;
    if (!properties_of(props)) return fail(SAA_ERR_INVALID, "not allocated graphics properties");
    return SAA_OK;
}

extern "C" int SAA_grCameraApply(const SAA_Scene *scene, const SAA_Elem *camera) {
    int status = SAA_OK;
    Camera *c = camera_of(scene, camera, status);
    if (!c) return status;
    double projection[16], view[16];
    camera_matrices(*c, projection, view);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(view);
    return SAA_OK;
}

extern "C" int SAA_sceneDraw(const SAA_Scene *scene, const SAA_GrProps *props) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    GraphicsProperties *p = properties_of(props);
    if (!p) return fail(SAA_ERR_INVALID, "not allocated graphics properties");
    return guarded([&]() -> int {
        begin_mode(*s, p->display_mode);
        for (const Model &m : s->models) draw_model(m, p->display_mode);
        end_mode();
        return SAA_OK;
    });
}

extern "C" int SAA_elementDraw(const SAA_Scene *scene, const SAA_GrProps *props, const SAA_Elem *element) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    GraphicsProperties *p = properties_of(props);
    if (!p) return fail(SAA_ERR_INVALID, "not allocated graphics properties");
    if (!element) return fail(SAA_ERR_ARGUMENT, "no element handle");
    if (element->kind == kElemCamera) return camera_of(scene, element, status) ? SAA_OK : status;
    if (element->kind == kElemLight) {
        Light *l = light_of(scene, element, status);
        if (!l) return status;
        if (p->display_mode != kDepthOnly && p->display_mode != kMatte) {
            begin_mode(*s, kWireframe);
            draw_light(*l);
            end_mode();
        }
        return SAA_OK;
    }
    Model *m = model_of(scene, element, status);
    if (!m) return status;
    return guarded([&]() -> int {
        begin_mode(*s, p->display_mode);
        draw_model(*m, p->display_mode);
        end_mode();
        return SAA_OK;
    });
}
