#include "render/hair_draw_gl.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "furdata/display_settings.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "render/frame_render.h"

namespace vellimor {
namespace {

constexpr float kLineWidthPerThickness = 50.0f;
constexpr int kTubeVertices = 10;   // one closed quad strip around the segment
constexpr int kQuadVertices = 16;   // four separate quads
// Polygons per vertex-array batch: bounds the staging memory and sets how often Escape is polled.
constexpr size_t kBatchPolygons = 16384;

HairVertexPath &vertex_path() {
    static HairVertexPath path = HairVertexPath::kVertexArrays;
    return path;
}

struct Vertex {
    float position[3];
    float color[4];
};

// The corner of a tube: point p moved by sign × (side or normal).
enum Offset { kMinusSide, kMinusNormal, kPlusSide, kPlusNormal };

void corner(const HairPoint &p, Offset offset, bool alpha, Vertex &out) {
    const float *v = (offset == kMinusSide || offset == kPlusSide) ? p.side : p.normal;
    const float sign = (offset == kMinusSide || offset == kMinusNormal) ? -1.0f : 1.0f;
    for (int c = 0; c < 3; ++c) out.position[c] = p.position[c] + sign * v[c];
    if (alpha) {
        out.color[0] = out.color[1] = out.color[2] = 1.0f;
        out.color[3] = p.color[3];
    } else {
        std::copy(p.color, p.color + 4, out.color);
    }
}

// The corners of one polygon (first point A, second point B) in drawing order. `true` in the
// pattern picks B.
struct CornerPattern {
    bool second;
    Offset offset;
};
constexpr CornerPattern kTube[kTubeVertices] = {
    {true, kMinusSide},  {false, kMinusSide},  {true, kMinusNormal}, {false, kMinusNormal},
    {true, kPlusSide},   {false, kPlusSide},   {true, kPlusNormal},  {false, kPlusNormal},
    {true, kMinusSide},  {false, kMinusSide}};
constexpr CornerPattern kIrisQuads[kQuadVertices] = {
    {true, kMinusNormal}, {true, kMinusSide},   {false, kMinusSide},  {false, kMinusNormal},
    {true, kPlusSide},    {true, kMinusNormal}, {false, kMinusNormal}, {false, kPlusSide},
    {true, kPlusNormal},  {true, kPlusSide},    {false, kPlusSide},   {false, kPlusNormal},
    {true, kMinusSide},   {true, kPlusNormal},  {false, kPlusNormal}, {false, kMinusSide}};

template <size_t N>
void polygon_corners(const HairPoint &a, const CornerPattern (&pattern)[N], bool alpha, Vertex *out) {
    for (size_t k = 0; k < N; ++k) corner(pattern[k].second ? *a.next : a, pattern[k].offset, alpha, out[k]);
}

bool escape_pressed() { return platform::key_is_down(platform::Key::Escape); }

template <size_t N>
int draw_immediate(const PolygonList &list, const CornerPattern (&pattern)[N], GLenum primitive,
                   bool alpha) {
    const size_t poll_interval = std::max<size_t>(1, list.size() / 100);
    Vertex v[N];
    if (primitive == GL_QUADS) glBegin(GL_QUADS);
    for (size_t i = 0; i < list.size(); ++i) {
        progress_step(int(i));
        if (i % poll_interval == 0 && escape_pressed()) {
            if (primitive == GL_QUADS) glEnd();
            return 0;
        }
        polygon_corners(*list[i], pattern, alpha, v);
        if (primitive != GL_QUADS) glBegin(primitive);
        for (const Vertex &vertex : v) {
            glColor4fv(vertex.color);
            glVertex3fv(vertex.position);
        }
        if (primitive != GL_QUADS) glEnd();
    }
    if (primitive == GL_QUADS) glEnd();
    return 1;
}

// Vertices kept between drawings of one list while a HairVertexReuse lives: the filled batches
// from the first on, up to the budget, for one list, corner pattern and alpha flag.
struct KeptVertices {
    int reusers = 0;
    const HairPoint *const *list = nullptr;
    size_t polygons = 0;
    size_t pattern = 0;
    bool alpha = false;
    std::vector<std::vector<Vertex>> batches;
    size_t bytes = 0;

    void forget() {
        list = nullptr;
        batches.clear();
        batches.shrink_to_fit();
        bytes = 0;
    }
};
KeptVertices &kept_vertices() {
    static KeptVertices kept;
    return kept;
}

// Vertices worth keeping for the antialiasing passes: a frame of 10^5 hairs fits whole.
constexpr size_t kKeptVertexBytes = size_t(256) << 20;

// The same primitives through client arrays: quad strips go out as one multi-draw per batch,
// separate quads as one draw per batch. While vertices are kept, a batch filled once is drawn
// again from what was kept.
template <size_t N>
int draw_arrays(const PolygonList &list, const CornerPattern (&pattern)[N], GLenum primitive,
                bool alpha) {
    const size_t batch = std::min(kBatchPolygons, list.size());
    KeptVertices &kept = kept_vertices();
    const bool keeping = kept.reusers > 0;
    if (keeping && (kept.list != list.data() || kept.polygons != list.size() ||
                    kept.pattern != N || kept.alpha != alpha)) {
        kept.forget();
        kept.list = list.data();
        kept.polygons = list.size();
        kept.pattern = N;
        kept.alpha = alpha;
    }
    std::vector<Vertex> scratch(batch * N);
    std::vector<GLint> starts(batch);
    std::vector<GLsizei> counts(batch, GLsizei(N));
    for (size_t k = 0; k < batch; ++k) starts[k] = GLint(k * N);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    int result = 1;
    for (size_t first = 0, b = 0; first < list.size(); first += batch, ++b) {
        progress_step(int(first));
        if (escape_pressed()) {
            result = 0;
            break;
        }
        const size_t n = std::min(batch, list.size() - first);
        const Vertex *vertices = nullptr;
        if (keeping && b < kept.batches.size()) {
            vertices = kept.batches[b].data();
        } else {
            for (size_t k = 0; k < n; ++k)
                polygon_corners(*list[first + k], pattern, alpha, &scratch[k * N]);
            vertices = scratch.data();
            const size_t bytes = n * N * sizeof(Vertex);
            if (keeping && b == kept.batches.size() && kept.bytes + bytes <= kKeptVertexBytes) {
                kept.batches.emplace_back(scratch.begin(), scratch.begin() + ptrdiff_t(n * N));
                kept.bytes += bytes;
                vertices = kept.batches.back().data();
            }
        }
        glVertexPointer(3, GL_FLOAT, sizeof(Vertex), vertices->position);
        glColorPointer(4, GL_FLOAT, sizeof(Vertex), vertices->color);
        if (primitive == GL_QUADS)
            glDrawArrays(GL_QUADS, 0, GLsizei(n * N));
        else
            glMultiDrawArrays(primitive, starts.data(), counts.data(), GLsizei(n));
    }
    glPopClientAttrib();
    return result;
}

template <size_t N>
int draw_pattern(const PolygonList &list, const CornerPattern (&pattern)[N], GLenum primitive,
                 bool alpha) {
    if (list.empty()) return 1;
    return vertex_path() == HairVertexPath::kImmediate ? draw_immediate(list, pattern, primitive, alpha)
                                                       : draw_arrays(list, pattern, primitive, alpha);
}

float vector_length(const float v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace

void set_hair_vertex_path(HairVertexPath path) { vertex_path() = path; }

HairVertexReuse::HairVertexReuse() { ++kept_vertices().reusers; }

HairVertexReuse::~HairVertexReuse() {
    if (--kept_vertices().reusers == 0) kept_vertices().forget();
}
HairVertexPath hair_vertex_path() { return vertex_path(); }

void draw_hair_lines(const PolygonList &list) {
    for (size_t i = 0; i < list.size(); ++i) {
        const HairPoint &a = *list[i];
        const HairPoint &b = *a.next;
        glLineWidth(vector_length(a.side) * kLineWidthPerThickness);
        glBegin(GL_LINES);
        glColor4fv(a.color);
        glVertex3fv(a.position);
        glColor4fv(b.color);
        glVertex3fv(b.position);
        glEnd();
        progress_step(int(i));
    }
    glLineWidth(1.0f);
    glFlush();
}

int draw_hair_polygons(const PolygonList &list, bool alpha) {
    const DisplaySettings *settings = display_settings();
    const bool opengl = !settings || settings->use_opengl != 0;
    int result = 1;
    // The drawing driver's culling, set again here: the alpha and antialiasing passes draw the
    // scene (which turns culling off) before the hairs, and every path must draw the same faces.
    glEnable(GL_CULL_FACE);
    glCullFace(opengl ? GL_BACK : GL_FRONT);
    if (opengl) {
        if (alpha) prepare_alpha_background();
        result = draw_pattern(list, kTube, GL_QUAD_STRIP, alpha);
    } else {
        if (alpha) {
            prepare_alpha_background();
            progress_stage(3, int(list.size()));
        } else {
            progress_stage(2, int(list.size()));
        }
        result = draw_pattern(list, kIrisQuads, GL_QUADS, alpha);
    }
    glFlush();
    return result;
}

}  // namespace vellimor
