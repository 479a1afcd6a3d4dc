#include "render/hair_draw_gl.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <future>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "furdata/display_settings.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "render/frame_render.h"
#include "render/hair_ribbons.h"

namespace vellimor {
namespace {

constexpr float kLineWidthPerThickness = 50.0f;
constexpr int kTubeVertices = 10;   // one closed quad strip around the segment
constexpr int kQuadVertices = 16;   // four separate quads

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

// Polygons drawn one by one between two checks that the depth sort has placed them.
constexpr size_t kSortWaitInterval = 4096;

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
        if (i % kSortWaitInterval == 0) wait_until_sorted(list, i + kSortWaitInterval);
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

// A polygon's eight corners: its first point's four, then its second point's, each in the order
// -side, -normal, +side, +normal. Every primitive of a pattern is drawn as triangles over them.
constexpr int kPolygonCorners = 8;
constexpr int kTrianglesPerQuad = 2;
constexpr int kQuadsPerPolygon = 4;
constexpr int kPolygonIndices = kQuadsPerPolygon * kTrianglesPerQuad * 3;
// Polygons per buffer batch: the largest count whose corners 16-bit indices can name.
constexpr size_t kBufferBatchPolygons = 65536 / kPolygonCorners;

int corner_number(const CornerPattern &c) { return (c.second ? 4 : 0) + int(c.offset); }

// The two triangles OpenGL makes of each quad, as places in the pattern counted from the quad's
// first vertex: found by comparing pixels, so that drawing the triangles gives exactly the pixels
// of drawing the quads (the split and the corner order both change rounding).
constexpr int kStripTriangles[kTrianglesPerQuad][3] = {{0, 1, 3}, {2, 0, 3}};
constexpr int kQuadTriangles[kTrianglesPerQuad][3] = {{0, 1, 3}, {1, 2, 3}};

// Indices of a whole batch of polygons, each polygon's quads as triangles over its corners.
template <size_t N>
std::vector<uint16_t> batch_indices(const CornerPattern (&pattern)[N], GLenum primitive) {
    const bool strip = primitive == GL_QUAD_STRIP;
    const auto &triangles = strip ? kStripTriangles : kQuadTriangles;
    const int quad_step = strip ? 2 : 4;
    std::vector<uint16_t> indices;
    indices.reserve(kBufferBatchPolygons * kPolygonIndices);
    for (size_t polygon = 0; polygon < kBufferBatchPolygons; ++polygon)
        for (int q = 0; q < kQuadsPerPolygon; ++q)
            for (const auto &triangle : triangles)
                for (int k : triangle)
                    indices.push_back(uint16_t(polygon * kPolygonCorners +
                                               size_t(corner_number(pattern[size_t(q * quad_step + k)]))));
    return indices;
}

void polygon_corner_vertices(const HairPoint &a, bool alpha, Vertex *out) {
    for (int k = 0; k < kPolygonCorners; ++k) corner(k < 4 ? a : *a.next, Offset(k % 4), alpha, out[k]);
}

// One OpenGL buffer object, deleted with it.
struct GlBuffer {
    GLuint id = 0;
    GlBuffer() { glGenBuffers(1, &id); }
    ~GlBuffer() {
        if (id) glDeleteBuffers(1, &id);
    }
    GlBuffer(GlBuffer &&other) noexcept : id(other.id) { other.id = 0; }
    GlBuffer(const GlBuffer &) = delete;
    GlBuffer &operator=(const GlBuffer &) = delete;
    GlBuffer &operator=(GlBuffer &&) = delete;
};

// Vertex buffers kept between drawings of one list while a HairDrawingReuse lives: the filled
// batches from the first on, up to the budget, for one list and alpha flag.
struct KeptVertices {
    int reusers = 0;
    const HairPoint *const *list = nullptr;
    size_t polygons = 0;
    bool alpha = false;
    std::vector<GlBuffer> batches;
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

// Vertices kept for the antialiasing passes: an eighth of the machine's memory, at least enough
// for a frame of 10^5 hairs (a frame of 10^6 hairs of 8 segments takes 1.8 GB).
constexpr size_t kLeastKeptVertexBytes = size_t(256) << 20;
constexpr size_t kMemoryShareKept = 8;

size_t kept_vertex_budget() {
    static const size_t budget = [] {
        const long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || page_size <= 0) return kLeastKeptVertexBytes;
        return std::max(kLeastKeptVertexBytes, size_t(pages) / kMemoryShareKept * size_t(page_size));
    }();
    return budget;
}

// Polygons ahead whose points are fetched while the current one is filled: the sorted list
// visits the points in no memory order.
constexpr size_t kPrefetchDistance = 8;

void fill_corners(const PolygonList &list, size_t first, size_t n, bool alpha, Vertex *out) {
    const size_t end = first + n;
    for (size_t k = first; k < end; ++k) {
        if (k + kPrefetchDistance < end) {
            const HairPoint *ahead = list[k + kPrefetchDistance];
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + 1);  // its second point follows it in the strand
        }
        polygon_corner_vertices(*list[k], alpha, out);
        out += kPolygonCorners;
    }
}

// One batch's vertices on their way into a buffer object: the drawing thread maps the buffer
// and a helper thread fills it while the drawing thread draws the batch before.
struct BatchFill {
    GLuint buffer = 0;
    size_t first = 0, n = 0;
    Vertex *mapped = nullptr;
    std::vector<Vertex> staging;  // a driver that cannot map takes a copy
    std::future<void> filling;
};

// Maps `buffer` (sized first when `sized` is false) and starts filling it with the corners of
// polygons [first, first + n).
void start_fill(BatchFill &fill, const PolygonList &list, bool alpha, bool sized) {
    const size_t bytes = fill.n * kPolygonCorners * sizeof(Vertex);
    glBindBuffer(GL_ARRAY_BUFFER, fill.buffer);
    if (!sized) glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), nullptr, GL_STATIC_DRAW);
    fill.mapped = static_cast<Vertex *>(glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    Vertex *out = fill.mapped;
    if (!out) {
        fill.staging.resize(fill.n * kPolygonCorners);
        out = fill.staging.data();
    }
    const size_t first = fill.first, n = fill.n;
    auto work = [&list, first, n, alpha, out] { fill_corners(list, first, n, alpha, out); };
    try {
        fill.filling = std::async(std::launch::async, work);
    } catch (const std::system_error &) {
        work();  // no thread to be had: filled here and now
    }
}

// Waits for the fill and hands the vertices to the driver (the buffer is left bound).
void finish_fill(BatchFill &fill) {
    if (fill.filling.valid()) fill.filling.get();
    glBindBuffer(GL_ARRAY_BUFFER, fill.buffer);
    if (fill.mapped) {
        glUnmapBuffer(GL_ARRAY_BUFFER);
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(fill.staging.size() * sizeof(Vertex)),
                        fill.staging.data());
    }
    fill.mapped = nullptr;
    fill.staging.clear();
}

// The primitives as indexed triangles from buffer objects, one draw per batch, the next batch's
// vertices filled beside the drawing of this one. While vertices are kept, a batch filled once is
// drawn again from its buffer.
template <size_t N>
int draw_arrays(const PolygonList &list, const CornerPattern (&pattern)[N], GLenum primitive,
                bool alpha) {
    KeptVertices &kept = kept_vertices();
    const bool keeping = kept.reusers > 0;
    if (keeping && (kept.list != list.data() || kept.polygons != list.size() || kept.alpha != alpha)) {
        kept.forget();
        kept.list = list.data();
        kept.polygons = list.size();
        kept.alpha = alpha;
    }
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    GLint bound_array = 0, bound_elements = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound_array);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound_elements);
    const GlBuffer indices;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.id);
    const std::vector<uint16_t> index_data = batch_indices(pattern, primitive);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(index_data.size() * sizeof(uint16_t)),
                 index_data.data(), GL_STATIC_DRAW);
    // Two streamed buffers take turns: one is drawn while the other is filled.
    const GlBuffer streamed[2];
    size_t streamed_polygons[2] = {0, 0};  // the size each streamed buffer has
    const size_t batch = kBufferBatchPolygons;
    const size_t batches = (list.size() + batch - 1) / batch;

    // Starts the fill of batch b unless it was kept from an earlier drawing; false when kept.
    auto start_batch = [&](size_t b, BatchFill &fill) {
        if (keeping && b < kept.batches.size()) return false;
        fill.first = b * batch;
        fill.n = std::min(batch, list.size() - fill.first);
        wait_until_sorted(list, fill.first + fill.n);
        const size_t bytes = fill.n * kPolygonCorners * sizeof(Vertex);
        const bool keep = keeping && b == kept.batches.size() && kept.bytes + bytes <= kept_vertex_budget();
        if (keep) {
            kept.batches.emplace_back();
            kept.bytes += bytes;
            fill.buffer = kept.batches.back().id;
            start_fill(fill, list, alpha, false);
        } else {
            fill.buffer = streamed[b % 2].id;
            start_fill(fill, list, alpha, streamed_polygons[b % 2] == fill.n);
            streamed_polygons[b % 2] = fill.n;
        }
        return true;
    };

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    int result = 1;
    BatchFill fills[2];
    bool filling[2] = {start_batch(0, fills[0]), false};
    for (size_t b = 0; b < batches; ++b) {
        BatchFill &fill = fills[b % 2];
        const bool filled_now = filling[b % 2];
        filling[b % 2] = false;
        if (filled_now) finish_fill(fill);
        if (b + 1 < batches) filling[(b + 1) % 2] = start_batch(b + 1, fills[(b + 1) % 2]);
        progress_step(int(b * batch));
        if (escape_pressed()) {
            result = 0;
            break;
        }
        const size_t n = std::min(batch, list.size() - b * batch);
        glBindBuffer(GL_ARRAY_BUFFER, filled_now ? fill.buffer : kept.batches[b].id);
        glVertexPointer(3, GL_FLOAT, sizeof(Vertex), reinterpret_cast<const void *>(offsetof(Vertex, position)));
        glColorPointer(4, GL_FLOAT, sizeof(Vertex), reinterpret_cast<const void *>(offsetof(Vertex, color)));
        glDrawRangeElements(GL_TRIANGLES, 0, GLuint(n * kPolygonCorners - 1), GLsizei(n * kPolygonIndices),
                            GL_UNSIGNED_SHORT, nullptr);
        // Each batch goes to the rasterisers at once: they start while the next is set up, and
        // the driver's binned scenes stay small (cache-sized, and no build-up of memory).
        glFlush();
    }
    // A fill still under way (the drawing was stopped) ends before its buffer goes.
    for (int k = 0; k < 2; ++k)
        if (filling[k]) finish_fill(fills[k]);
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(bound_array));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, GLuint(bound_elements));
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

HairDrawingReuse::HairDrawingReuse(bool vertices) : vertices_(vertices) {
    if (vertices_) ++kept_vertices().reusers;
    keep_hair_ribbon_bands(true);
}

HairDrawingReuse::~HairDrawingReuse() {
    if (vertices_ && --kept_vertices().reusers == 0) kept_vertices().forget();
    keep_hair_ribbon_bands(false);
}
HairVertexPath hair_vertex_path() { return vertex_path(); }

void draw_hair_lines(const PolygonList &list) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (i % kSortWaitInterval == 0) wait_until_sorted(list, i + kSortWaitInterval);
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
    // The drawing driver's culling, set again here: the alpha and antialiasing passes draw the
    // scene (which turns culling off) before the hairs, and every path must draw the same faces.
    glEnable(GL_CULL_FACE);
    glCullFace(opengl ? GL_BACK : GL_FRONT);
    if (alpha) prepare_alpha_background();
    if (!opengl) progress_stage(alpha ? 3 : 2, int(list.size()));
    int result = 1;
    if (!(settings && settings->exact_tubes) && hair_ribbons_fit_current_state())
        result = draw_hair_ribbons(list, alpha);
    else if (opengl)
        result = draw_pattern(list, kTube, GL_QUAD_STRIP, alpha);
    else
        result = draw_pattern(list, kIrisQuads, GL_QUADS, alpha);
    glFlush();
    return result;
}

}  // namespace vellimor
